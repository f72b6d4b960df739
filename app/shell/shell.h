#pragma once

#include "feedback/sound_player.h"
#include "feedback/speaker.h"
#include "hotkey/hotkey_choice.h"
#include "shell/desktop_parts.h"
#include "shell/remote_command.h"
#include "shell/status_menu.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace talvo {

class AppModel;
class DictationController;
class DictationFeedback;
class FixCardController;
class History;
class HotkeyMonitor;
class LocalModelCleaner;
class MicSource;
class PasteInserter;
class PillController;
class Preferences;
class Transcriber;

// How the program was started.
struct LaunchOptions {
  bool launchedAtLogin = false;
  QByteArray noWindowVariable;  // TALVO_NO_WINDOW
  std::shared_ptr<SoundPlayer> sounds;
  std::shared_ptr<Speaker> speaker;
  int pollIntervalMs = 1000;  // how often the windows' facts are read again while one is shown
  SessionKind session = SessionKind::x11;
};

// The running desktop program: owns every long-lived part, wires them together at
// launch, and keeps the tray, the windows, the poll and the update checks. Main thread
// only; needs a QApplication on the platform the session calls for.
class Shell final : public QObject {
public:
  static constexpr int firstUpdateCheckMs = 8000;
  static constexpr int updateCheckIntervalMs = 24 * 60 * 60 * 1000;
  static constexpr int historyCap = 500;
  static constexpr double pasteRestoreDelay = 0.6;

  explicit Shell(LaunchOptions options);
  Q_DISABLE_COPY_MOVE(Shell)
  ~Shell() override;

  // Builds and connects everything, shows the tray and opens the window the launch calls for.
  void start();

  void openMain();
  void runSetup();
  // The dictation key as a desktop shortcut or `talvo --toggle` drives it.
  void remote(RemoteCommand command);

  // The model behind the windows, made at its first use.
  AppModel& model();
  // The one-second poll runs exactly while a window is shown.
  bool polling() const { return systemPoll_.isActive(); }

private:
  void createTray();
  void rebuildMenu();
  void perform(MenuAction action);
  void applyPolish();
  void connectController();
  void connectBar();
  void connectModel();
  void setHotkey(HotkeyChoice choice);
  void bringToFront(QWidget* window);
  void startSystemPoll();
  void pollTick();
  void scheduleUpdateChecks();
  void showListening(bool listening);
  bool setupVisible() const;
  bool takeIntoTryIt(const QString& text);

  LaunchOptions options_;
  std::shared_ptr<Preferences> prefs_;
  DesktopParts desktop_;
  std::shared_ptr<History> history_;
  std::unique_ptr<AppModel> model_;
  std::shared_ptr<MicSource> mic_;
  std::shared_ptr<Transcriber> transcriber_;
  std::shared_ptr<LocalModelCleaner> cleaner_;
  std::shared_ptr<PillController> bar_;
  std::shared_ptr<FixCardController> fixCard_;
  std::unique_ptr<DictationFeedback> feedback_;
  std::shared_ptr<PasteInserter> inserter_;
  std::unique_ptr<HotkeyMonitor> hotkey_;
  std::shared_ptr<DictationController> controller_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QWidget> mainWindow_;
  QPointer<QWidget> setupWindow_;
  QTimer systemPoll_;
  QTimer dailyUpdateCheck_;
  bool trayListening_ = false;
};

}  // namespace talvo
