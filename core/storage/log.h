#pragma once

#include <QString>

// The diagnostic log: one line per call, "<UTC time>Z  <message>", appended to talvo.log
// in the support folder by one background writer, in call order. Safe from any thread.
namespace talvo::Log {

void info(const QString& message);

// When on, every line also goes to standard error at once. Off by default.
void setEcho(bool on);
bool echo();

// Blocks until every line queued so far is in the file. For tests and orderly exit.
void flush();

}  // namespace talvo::Log
