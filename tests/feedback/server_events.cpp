#include "server_events.h"

#include <QDeadlineTimer>

namespace talvo::test {
namespace {

// Generous: the machine is shared, and a missing event must fail the test, not hang it.
constexpr int eventTimeoutMs = 20000;
// How long one marker is given to show before another is made; a late one is still counted.
constexpr int markerWaitMs = 200;

bool runPactl(const QStringList& arguments) {
  QProcess pactl;
  pactl.start("pactl", arguments);
  return pactl.waitForFinished(eventTimeoutMs) && pactl.exitStatus() == QProcess::NormalExit &&
         pactl.exitCode() == 0;
}

}  // namespace

ServerEvents::ServerEvents() {
  subscriber_.setProcessChannelMode(QProcess::MergedChannels);
  // pactl buffers its output when it goes to a pipe; each event must arrive as it happens.
  subscriber_.start("stdbuf", {"--output=L", "pactl", "subscribe"});
}

ServerEvents::~ServerEvents() {
  subscriber_.kill();
  subscriber_.waitForFinished();
}

// The subscriber connects some time after it has started, and until it reports a change of ours a
// change of the player's could be missed, so marker sinks are added until one is reported.
bool ServerEvents::ready() {
  if (!subscriber_.waitForStarted(eventTimeoutMs)) return false;
  for (QDeadlineTimer deadline(eventTimeoutMs); !deadline.hasExpired();) {
    if (!runPactl({"load-module", "module-null-sink", "sink_name=marker"})) return false;
    if (waitFor("'new' on sink #", markerWaitMs)) return true;
  }
  return false;
}

bool ServerEvents::waitFor(const QString& text) { return waitFor(text, eventTimeoutMs); }

bool ServerEvents::waitFor(const QString& text, int timeoutMs) {
  for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired();) {
    seen_ += QString::fromUtf8(subscriber_.readAllStandardOutput());
    if (const qsizetype at = seen_.indexOf(text, consumed_); at >= 0) {
      consumed_ = at + text.size();
      return true;
    }
    if (subscriber_.state() != QProcess::Running) return false;
    subscriber_.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
  }
  return false;
}

}  // namespace talvo::test
