#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace talvo::test {

// A private PulseAudio server for one test: its runtime, state and home folders live in a
// temporary directory, this process talks to it through PULSE_SERVER, and it is stopped
// by its own PID.
class PulseServer {
public:
  // The silent master source and the virtual microphone "vmic" that paplay speaks into
  // through the sink "vmic_uplink".
  static QStringList virtualMicrophone();
  // An output only: its monitor is the server's one source.
  static QStringList outputOnly() { return {"module-null-sink sink_name=speakers"}; }

  explicit PulseServer(const QStringList& modules);
  PulseServer(const PulseServer&) = delete;  // one owner stops the server
  PulseServer& operator=(const PulseServer&) = delete;
  ~PulseServer();

  bool running() const { return pid_ > 0; }
  QString log() const;
  // Runs a client tool against this server; its standard output, or nothing when it fails.
  static std::optional<QString> run(const QString& program, const QStringList& arguments);

private:
  QTemporaryDir dir_;
  qint64 pid_ = 0;
};

}  // namespace talvo::test
