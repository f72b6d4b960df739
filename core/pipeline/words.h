#pragma once

#include <QString>
#include <QStringList>

namespace talvo {

// Lower-cased words for comparing texts: anything that is neither a letter, mark, number
// nor an apostrophe separates them, so case and punctuation never make two texts differ.
QStringList normalizedWords(const QString& text);

}  // namespace talvo
