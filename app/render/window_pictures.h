#pragma once

#include <QString>

namespace talvo {

// Writes the set-up steps and the main window's sections, light and dark, into the folder,
// from a sample model that touches none of the user's files.
void renderWindows(const QString& directory);

}  // namespace talvo
