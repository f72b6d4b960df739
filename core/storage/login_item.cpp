#include "storage/login_item.h"

#include "pipeline/errors.h"
#include "storage/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace talvo {
namespace {

// Qt's own answer resolves the link too, but comes back empty once the file was replaced.
QString programForThisProcess() {
  return autostartProgram(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(),
                          QStandardPaths::findExecutable(QStringLiteral("talvo")));
}

// Quoting of one Exec argument, then the escaping every desktop-entry string value gets.
QString quoteArgument(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  const bool needsQuotes =
      argument.isEmpty() ||
      std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
  QString quoted = argument;
  quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
  if (!needsQuotes) return quoted;
  QString inner;
  for (QChar c : quoted) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') inner += QLatin1Char('\\');
    inner += c;
  }
  inner.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  inner.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  inner.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
  return QLatin1Char('"') + inner + QLatin1Char('"');
}

}  // namespace

QString autostartProgram(const QString& runningBinary, const QString& onPath) {
  static const QString replaced = QStringLiteral(" (deleted)");
  QString binary = runningBinary;
  if (binary.endsWith(replaced)) binary.chop(replaced.size());
  QString real = QFileInfo(binary).canonicalFilePath();  // not const: returned by move
  if (real.isEmpty()) return {};
  const QFileInfo installed(onPath);
  if (!onPath.isEmpty() && installed.isAbsolute() && installed.canonicalFilePath() == real)
    return QDir::cleanPath(onPath);
  return real;
}

QString desktopExecLine(const QString& program, const QStringList& arguments) {
  QStringList parts{quoteArgument(program)};
  for (const QString& argument : arguments) parts << quoteArgument(argument);
  return parts.join(QLatin1Char(' '));
}

AutostartLoginItem::AutostartLoginItem(QString desktopFile)
    : AutostartLoginItem(std::move(desktopFile), programForThisProcess()) {}

AutostartLoginItem::AutostartLoginItem(QString desktopFile, QString executable)
    : desktopFile_(std::move(desktopFile)), executable_(std::move(executable)) {}

QString AutostartLoginItem::defaultDesktopFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart/talvo.desktop");
}

bool AutostartLoginItem::enabled() const { return QFileInfo::exists(desktopFile_); }

void AutostartLoginItem::setEnabled(bool on) {
  if (!on) {
    if (::unlink(QFile::encodeName(desktopFile_).constData()) != 0 && errno != ENOENT)
      throw Error(QStringLiteral("could not remove %1: %2")
                      .arg(desktopFile_, QString::fromLocal8Bit(std::strerror(errno))));
    return;
  }
  if (executable_.isEmpty()) throw Error(QStringLiteral("the program's own path is unknown"));
  const QString folder = QFileInfo(desktopFile_).absolutePath();
  if (!QDir().mkpath(folder)) throw Error(QStringLiteral("could not create %1").arg(folder));
  const QString entry =
      QStringLiteral(
          "[Desktop Entry]\n"
          "Type=Application\n"
          "Name=Talvo\n"
          "Comment=Push-to-talk dictation\n"
          "Icon=org.talvo.Talvo\n"
          "Exec=%1\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n")
          .arg(desktopExecLine(executable_, {QString::fromLatin1(autostartArgument)}));
  file_io::writeAtomically(desktopFile_, entry.toUtf8());
}

}  // namespace talvo
