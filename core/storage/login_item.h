#pragma once

#include <QString>

namespace talvo {

// Whether the program starts when the user logs in.
class LoginItem {
public:
  virtual ~LoginItem() = default;
  virtual bool enabled() const = 0;
  // Throws talvo::Error when the registration cannot be changed.
  virtual void setEnabled(bool on) = 0;
};

// The argument the autostart entry adds, so the program knows it was started at login.
inline constexpr const char* autostartArgument = "--autostart";

// An XDG autostart entry, by default $XDG_CONFIG_HOME/autostart/talvo.desktop, whose Exec
// line runs `executable` with `autostartArgument`; by default this program (see
// autostartProgram).
class AutostartLoginItem final : public LoginItem {
public:
  explicit AutostartLoginItem(QString desktopFile = defaultDesktopFile());
  AutostartLoginItem(QString desktopFile, QString executable);

  bool enabled() const override;
  void setEnabled(bool on) override;

  QString desktopFile() const { return desktopFile_; }
  static QString defaultDesktopFile();

private:
  QString desktopFile_;
  QString executable_;
};

// The program an autostart entry should run, given this process's binary as the kernel names
// it (/proc/self/exe, which ends in " (deleted)" once an upgrade has replaced the file) and
// the `talvo` that PATH finds, if any. That PATH entry when it is this very program: the
// installed name outlives an upgrade and a prefix reached through symbolic links. Otherwise
// the binary's real path; empty when the binary is gone and nothing took its place.
QString autostartProgram(const QString& runningBinary, const QString& onPath);

// The Exec value that runs `program` with `arguments`, quoted by the desktop-entry rules.
QString desktopExecLine(const QString& program, const QStringList& arguments);

}  // namespace talvo
