#include "pipeline/errors.h"

namespace talvo {

QString describe(DictationErrorCode code) {
  switch (code) {
    case DictationErrorCode::noMicrophone: return QStringLiteral("No microphone found.");
    case DictationErrorCode::silence:
      return QStringLiteral("Heard only silence. Check the microphone permission.");
    case DictationErrorCode::speechModelMissing:
      return QStringLiteral("The speech model isn't downloaded yet.");
    case DictationErrorCode::noAudioFormat:
      return QStringLiteral("This microphone's format isn't supported.");
  }
  return {};
}

QString errorText(const std::exception_ptr& error) {
  if (!error) return QStringLiteral("unknown error");
  try {
    std::rethrow_exception(error);
  } catch (const Error& e) {
    return e.message();
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("unknown error");
  }
}

}  // namespace talvo
