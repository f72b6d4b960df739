#pragma once

#include "replay/command_line.h"

#include <QString>

#include <optional>

namespace talvo {

// Writes the icon set (ten PNG files, 16 to 512 pixels at one and two times) into the folder.
void renderIcon(const QString& directory);
// Writes the bar and card pictures, light and dark, into the folder.
void renderUI(const QString& directory);

// Runs a render mode in a widget application of its own, off screen unless a platform is
// forced; the exit status, or none for any other mode.
std::optional<int> runRenderMode(const Mode& mode, int& argc, char** argv);

}  // namespace talvo
