#pragma once

namespace talvo {

// The desktop program's entry: the X display check, one instance per session, then the
// shell until the user quits. Returns the exit status.
int runDesktop(int& argc, char** argv);

}  // namespace talvo
