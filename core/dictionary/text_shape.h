#pragma once

#include <QString>
#include <QStringView>

namespace talvo {

// Without spaces, tabs and other space separators at either end; line breaks stay.
QStringView trimHorizontal(QStringView text);

// User-perceived characters (grapheme clusters), not code units.
qsizetype graphemeCount(QStringView text);

// An ICU pattern matching `phrase` literally, except that each single space matches any
// run of white space, line breaks included.
QString literalPhrasePattern(QStringView phrase);

}  // namespace talvo
