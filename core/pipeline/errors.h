#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace talvo {

// Base of every error the program throws. The message is the text form users and the
// log see; what() gives the same text in UTF-8 for code that only knows std::exception.
class Error : public std::runtime_error {
public:
  explicit Error(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

private:
  QString message_;
};

// The program's own failures; the message is what the user is shown.
enum class DictationErrorCode { noMicrophone, silence, speechModelMissing, noAudioFormat };

QString describe(DictationErrorCode code);

class DictationError : public Error {
public:
  explicit DictationError(DictationErrorCode code) : Error(describe(code)), code_(code) {}
  DictationErrorCode code() const { return code_; }
  bool operator==(const DictationError& other) const { return code_ == other.code_; }

private:
  DictationErrorCode code_;
};

// Thrown by withTimeout when the timer finishes before the operation.
class TimeoutError : public Error {
public:
  TimeoutError() : Error(QStringLiteral("The operation timed out.")) {}
};

// The text form of whatever an operation threw: the message of our own errors, what()
// of a standard exception, and a fixed phrase for anything else.
QString errorText(const std::exception_ptr& error);

}  // namespace talvo
