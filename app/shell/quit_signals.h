#pragma once

namespace talvo {

// Turns SIGTERM and SIGINT into an orderly quit of the running event loop, so a logout or
// a Ctrl+C still writes the log out and takes the parts down. Call once, after the
// application object exists.
void quitOnTerminationSignals();

}  // namespace talvo
