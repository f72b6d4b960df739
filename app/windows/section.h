#pragma once

#include <QString>

#include <array>

namespace talvo {

// The main window's sidebar entries, in their order.
enum class Section { home, history, dictionary, settings };
inline constexpr std::array allSections{Section::home, Section::history, Section::dictionary,
                                        Section::settings};

QString title(Section section);
QString symbolName(Section section);

}  // namespace talvo
