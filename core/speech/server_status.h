#pragma once

#include <QString>

namespace talvo {

// Whether a local speech server can give the final transcript, with the status line users
// see. Every state other than `ready` means the built-in recogniser's text is used.
enum class SpeechServerStatus { off, ready, notRunning, loading, notAllowed, unknown };

// The bare case name, for the log.
QString toString(SpeechServerStatus status);
QString label(SpeechServerStatus status);
// How to get a server going, shown under the status line; empty when there is nothing to do.
QString startNote(SpeechServerStatus status);

}  // namespace talvo
