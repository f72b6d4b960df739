#pragma once

#include <QString>

#include <ostream>

// Found by argument lookup (QString is in the global namespace): failures show the text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
