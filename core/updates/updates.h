#pragma once

#include "updates/update_info.h"

#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <optional>

// Asks the program's web site whether a newer version is out. Quiet by design: nothing
// is ever shown; why a check gave up goes to the log.
namespace talvo::Updates {

// Seconds without progress after which a request gives up.
constexpr double kRequestTimeout = 10.0;
// A version document is a few hundred bytes; anything past this is not one.
constexpr qint64 kMaxDocumentBytes = qint64{64} * 1024;

// The version document's address, fixed at build time. Empty when the build names none,
// and then there is nothing to check.
QUrl feed();

// Only https is asked, or plain http to this machine itself.
bool usableFeed(const QUrl& url);

// The published version when it is newer than `current`; nothing in every other case.
// Never fails.
QCoro::Task<std::optional<UpdateInfo>> check(QString current);
QCoro::Task<std::optional<UpdateInfo>> check(QString current, QUrl address,
                                             double timeoutSeconds = kRequestTimeout);

// Dotted versions compared by their leading integers, missing parts counting as 0:
// 1.2.10 is newer than 1.2.9, and 1.2 equals 1.2.0.
bool isNewer(const QString& a, const QString& than);

}  // namespace talvo::Updates
