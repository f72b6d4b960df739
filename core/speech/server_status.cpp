#include "speech/server_status.h"

namespace talvo {

QString toString(SpeechServerStatus status) {
  switch (status) {
    case SpeechServerStatus::off: return QStringLiteral("off");
    case SpeechServerStatus::ready: return QStringLiteral("ready");
    case SpeechServerStatus::notRunning: return QStringLiteral("notRunning");
    case SpeechServerStatus::loading: return QStringLiteral("loading");
    case SpeechServerStatus::notAllowed: return QStringLiteral("notAllowed");
    case SpeechServerStatus::unknown: return QStringLiteral("unknown");
  }
  return {};
}

QString label(SpeechServerStatus status) {
  switch (status) {
    case SpeechServerStatus::off:
      return QStringLiteral("No speech server set. Using the built-in recogniser.");
    case SpeechServerStatus::ready: return QStringLiteral("Speech server ready");
    case SpeechServerStatus::notRunning:
      return QStringLiteral("The speech server isn't running. Using the built-in recogniser.");
    case SpeechServerStatus::loading:
      return QStringLiteral("The speech server is still loading. Using the built-in recogniser.");
    case SpeechServerStatus::notAllowed:
      return QStringLiteral(
          "The speech server must run on this computer. Using the built-in recogniser.");
    case SpeechServerStatus::unknown:
      return QStringLiteral("The speech server isn't answering. Using the built-in recogniser.");
  }
  return {};
}

QString startNote(SpeechServerStatus status) {
  switch (status) {
    case SpeechServerStatus::ready:
    case SpeechServerStatus::loading: return {};
    case SpeechServerStatus::notAllowed:
      return QStringLiteral(
          "Set speechEndpoint in Talvo.ini to an address on 127.0.0.1 or localhost.");
    case SpeechServerStatus::off:
    case SpeechServerStatus::notRunning:
    case SpeechServerStatus::unknown:
      return QStringLiteral(
          "For better accuracy, start a Whisper server on this computer (for example "
          "whisper.cpp's whisper-server --port 8178) and set speechEndpoint in Talvo.ini to "
          "its transcription address.");
  }
  return {};
}

}  // namespace talvo
