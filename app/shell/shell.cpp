#include "shell/shell.h"

#include "bar/pill_controller.h"
#include "bar/pill_panel.h"
#include "cleanup/local_model_cleaner.h"
#include "controller/dictation_controller.h"
#include "fixcard/fix_card_controller.h"
#include "hotkey/hotkey_monitor.h"
#include "insertion/atspi_focus_probe.h"
#include "insertion/paste_inserter.h"
#include "audio/mic/mic_source.h"
#include "audio/mic/pulse_audio_system.h"
#include "model/app_model.h"
#include "model/platform_facts.h"
#include "setup/onboarding_view.h"
#include "shell/dictation_feedback.h"
#include "shell/shell_rules.h"
#include "shell/tray.h"
#include "speech/sphinx_transcriber.h"
#include "storage/app_info.h"
#include "storage/history.h"
#include "storage/log.h"
#include "storage/preferences.h"
#include "storage/settings_store.h"
#include "updates/updates.h"
#include "windows/main_view.h"

#include <QApplication>
#include <QCoroTask>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QUrl>

namespace talvo {
namespace {

constexpr QSize mainWindowSize{760, 520};

QRectF toRect(const ScreenRect& r) { return QRectF(r.x, r.y, r.width, r.height); }

void centre(QWidget* window) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->availableGeometry().center() - window->rect().center());
}

bool isListening(const DictationState& state) {
  return std::holds_alternative<dictation_state::Listening>(state) ||
         std::holds_alternative<dictation_state::Locked>(state);
}

// Loads the recogniser before the first press, so that press does not wait for it. A
// failure is the recogniser's to report at that press; the status reads ready regardless.
QCoro::Task<> warmUp(std::shared_ptr<Transcriber> transcriber, AudioFormat format,
                     std::function<void()> ready) {
  try {
    co_await transcriber->prepare(format);
  } catch (const std::exception& error) {
    Log::info(QStringLiteral("speech warm-up failed: ") + QString::fromUtf8(error.what()));
  }
  ready();
}

QCoro::Task<> checkForUpdate(QPointer<AppModel> model) {
  const std::optional<UpdateInfo> found = co_await Updates::check(AppInfo::version());
  if (!model) co_return;
  model->setUpdate(found);
  if (found) Log::info(QStringLiteral("update available: ") + found->version);
}

}  // namespace

Shell::Shell(LaunchOptions options)
    : options_(std::move(options)),
      prefs_(std::make_shared<Preferences>(std::make_shared<QSettingsStore>())),
      desktop_(makeDesktopParts(options_.session, prefs_)),
      history_(std::make_shared<History>(History::defaultPath(), historyCap)),
      mic_(MicSource::create(makePulseAudioSystem())),
      transcriber_(std::make_shared<speech::SphinxTranscriber>()),
      cleaner_(LocalModelCleaner::create({QUrl(prefs_->aiEndpoint()), prefs_->aiModel(),
                                          prefs_->smartPolish(), LocalModelCleaner::kDefaultTimeout,
                                          LocalModelCleaner::kDefaultProbeTimeout})),
      bar_(desktop_.bar),
      fixCard_(std::make_shared<FixCardController>(desktop_.windowFocus)) {
  if (!options_.sounds) options_.sounds = makeDesktopSoundPlayer();
  if (!options_.speaker) options_.speaker = makeDesktopSpeaker();
  systemPoll_.setInterval(options_.pollIntervalMs);
  connect(&systemPoll_, &QTimer::timeout, this, &Shell::pollTick);
  dailyUpdateCheck_.setInterval(updateCheckIntervalMs);
  connect(&dailyUpdateCheck_, &QTimer::timeout, this, [this] { checkForUpdate(model_.get()); });
}

Shell::~Shell() {
  if (hotkey_) hotkey_->stop();
  // Reports that arrive while the parts are taken down have no one to show them to.
  if (controller_) {
    controller_->onState = nullptr;
    controller_->onPartial = nullptr;
    controller_->onRecord = nullptr;
  }
  // The windows observe the model; they go first.
  delete setupWindow_.data();
  mainWindow_.reset();
}

AppModel& Shell::model() {
  if (!model_)
    model_ = std::make_unique<AppModel>(prefs_, history_, makeDesktopFacts(desktop_.canPaste));
  return *model_;
}

void Shell::start() {
  createTray();
  applyPolish();
  mic_->setPreferredUID(prefs_->micUID());

  Log::info(describe(desktop_.paths));
  auto probe =
      std::make_shared<AtspiFocusProbe>(QCoreApplication::applicationPid(),
                                        AtspiFocusProbe::defaultSearchTime, desktop_.focusedWindow);
  std::function<void()> sendPaste;
  if (desktop_.sendPaste)
    sendPaste = [send = desktop_.sendPaste, weak = std::weak_ptr<AtspiFocusProbe>(probe)] {
      auto p = weak.lock();
      send(p ? p->lastRole() : QString());
    };
  inserter_ = std::make_shared<PasteInserter>(probe, desktop_.clipboard, pasteRestoreDelay,
                                              desktop_.canPaste, std::move(sendPaste));
  inserter_->ownAppHandler = [self = QPointer<Shell>(this)](const QString& text) {
    return self && self->takeIntoTryIt(text);
  };

  controller_ =
      DictationController::create({mic_, transcriber_, cleaner_, inserter_, history_, [] {
                                     return UserDictionary::load(UserDictionary::defaultPath());
                                   }});
  connectController();
  connectBar();
  bar_->mode = prefs_->barMode();
  bar_->rest();
  bar_->atCursor = prefs_->pillAtCursor();
  bar_->model()->setShowWords(prefs_->livePreview());
  connectModel();
  setHotkey(prefs_->hotkey());
  mic_->prepare();
  model().refresh();
  model().setEntries(history_->recent(shownHistoryEntries));

  // After the tray is up, so the tray never waits on the model loading.
  QPointer<Shell> self(this);
  QTimer::singleShot(0, this, [self] {
    if (!self) return;
    warmUp(self->transcriber_, self->mic_->format(), [self] {
      if (self)
        self->model().setStatus(readyMessage(self->prefs_->hotkey(), self->model().hotkeyPath()));
    });
  });
  scheduleUpdateChecks();

  switch (launchWindow(prefs_->onboarded(), options_.launchedAtLogin, options_.noWindowVariable)) {
    case LaunchWindow::setup: runSetup(); break;
    case LaunchWindow::main: openMain(); break;
    case LaunchWindow::none: break;
  }
  Log::info(QStringLiteral("launched, ") + label(cleaner_->status()));
}

void Shell::createTray() {
  menu_ = std::make_unique<QMenu>();
  connect(menu_.get(), &QMenu::aboutToShow, this, &Shell::rebuildMenu);
  tray_ = std::make_unique<QSystemTrayIcon>(trayIcon(false, QApplication::palette()));
  tray_->setToolTip(QStringLiteral("Talvo"));
  tray_->setContextMenu(menu_.get());
  // Hosts that send a plain click rather than opening the menu still get it.
  connect(tray_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) menu_->popup(QCursor::pos());
          });
  tray_->show();
  // Qt embeds the icon by itself once a tray appears later.
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    Log::info(QStringLiteral("no system tray yet: the menu waits for one"));
}

void Shell::rebuildMenu() {
  const MenuFacts facts{model().status(),     controller_ && controller_->lastText().has_value(),
                        model().update(),     prefs_->onboarded(),
                        model().micGranted(), AppInfo::version()};
  QPointer<Shell> self(this);
  fillMenu(*menu_, statusMenuRows(facts), [self](MenuAction action) {
    if (self) self->perform(action);
  });
}

void Shell::perform(MenuAction action) {
  switch (action) {
    case MenuAction::none: return;
    case MenuAction::copyLast: feedback_->copyLast(); return;
    case MenuAction::openUpdate: {
      const OptionalUpdate& update = model().update();
      const QUrl url = update ? QUrl(update->url, QUrl::StrictMode) : QUrl();
      if (url.isValid() && !url.scheme().isEmpty()) QDesktopServices::openUrl(url);
      return;
    }
    case MenuAction::openMain: openMain(); return;
    case MenuAction::runSetup: runSetup(); return;
    case MenuAction::quit: QCoreApplication::quit(); return;
  }
}

void Shell::applyPolish() {
  cleaner_->setEnabled(prefs_->smartPolish());
  model().setAiStatus(cleaner_->status());
}

void Shell::connectController() {
  QPointer<Shell> self(this);
  FeedbackParts parts;
  parts.prefs = prefs_;
  parts.model = &model();
  parts.bar = bar_;
  parts.sounds = options_.sounds;
  parts.speaker = options_.speaker;
  std::weak_ptr<DictationController> weak = controller_;
  parts.dictation.listening = [weak] {
    auto c = weak.lock();
    return c && c->listening();
  };
  parts.dictation.lastText = [weak] {
    auto c = weak.lock();
    return c ? c->lastText() : std::nullopt;
  };
  parts.dictation.handle = [weak](const HotkeyEvent& event) {
    if (auto c = weak.lock()) c->handle(event);
  };
  parts.copyText = [clipboard = desktop_.clipboard](const QString& text) {
    clipboard->clear();
    clipboard->write({clipboard_types::plainItem(text)});
  };
  parts.setupVisible = [self] { return self && self->setupVisible(); };
  parts.openFixCard = [self](const std::vector<SpokenWord>& words) {
    if (!self) return;
    const std::optional<ScreenRect> caret = Caret::rect(self->desktop_.focusedWindow.get());
    self->fixCard_->show(words, caret ? std::optional<QRectF>(toRect(*caret)) : std::nullopt);
  };
  parts.dictionaryPath = UserDictionary::defaultPath();
  feedback_ = std::make_unique<DictationFeedback>(std::move(parts));

  controller_->onState = [self](const DictationState& state) {
    if (!self) return;
    self->feedback_->onState(state);
    self->showListening(isListening(state));
  };
  controller_->onPartial = [self](const std::vector<SpokenWord>& words) {
    if (self) self->feedback_->onPartial(words);
  };
  controller_->onRecord = [self](const DictationRecord& record) {
    if (self) self->feedback_->onRecord(record);
  };
  fixCard_->onSave = [self](const QString& heard, const QString& meant) {
    if (self) self->feedback_->onTeach(heard, meant);
  };
}

void Shell::connectBar() {
  QPointer<Shell> self(this);
  std::weak_ptr<DictationController> weak = controller_;
  bar_->levelSource = [weak] {
    auto c = weak.lock();
    return c ? c->level() : 0.0;
  };
  bar_->healthSource = [weak] {
    auto c = weak.lock();
    if (!c || !c->listeningSince()) return std::pair<double, double>(0, 1);
    const std::chrono::duration<double> elapsed =
        DictationController::Clock::now() - *c->listeningSince();
    return std::pair<double, double>(elapsed.count(), c->peakLevel());
  };
  bar_->micName = [mic = std::weak_ptr<MicSource>(mic_)] {
    auto m = mic.lock();
    return m ? m->deviceName() : QStringLiteral("your mic");
  };
  bar_->onTap = [self](const PillPhase& phase) {
    if (self) self->feedback_->onTap(phase);
  };
  bar_->onFix = [self] {
    if (self) self->feedback_->onFix();
  };
}

void Shell::connectModel() {
  QPointer<Shell> self(this);
  AppModel& m = model();
  m.setOnHotkeyChange([self](HotkeyChoice choice) {
    if (self) self->setHotkey(choice);
  });
  m.setOnMicChange([self](const OptionalText& uid) {
    if (self) self->mic_->setPreferredUID(uid);
  });
  m.setOnBarModeChange([self] {
    if (!self) return;
    self->bar_->mode = self->model().barMode();
    self->bar_->rest();
  });
  m.setOnPolishChange([self] {
    if (self) self->applyPolish();
  });
  m.setOnPillChange([self] {
    if (!self) return;
    self->bar_->atCursor = self->prefs_->pillAtCursor();
    self->bar_->model()->setShowWords(self->prefs_->livePreview());
  });
  m.setOnRunSetup([self] {
    if (self) self->runSetup();
  });
  m.setOnFinishSetup([self] {
    if (!self) return;
    self->prefs_->setOnboarded(true);
    self->openMain();
  });
}

void Shell::setHotkey(HotkeyChoice choice) {
  if (hotkey_) hotkey_->stop();
  hotkey_ = std::make_unique<HotkeyMonitor>(
      choice, [make = desktop_.hotkey, choice] { return make(choice); });
  QPointer<Shell> self(this);
  hotkey_->onEvent = [self](const HotkeyEvent& event) {
    if (self) self->feedback_->onHotkey(event);
  };
  // Without the key, the user's own shortcut for the command is the way in.
  hotkey_->onLost = [self, choice] {
    if (!self) return;
    self->model().setHotkeyPath(HotkeyPath::commandOnly);
    self->model().setStatus(readyMessage(choice, HotkeyPath::commandOnly));
  };
  const bool started = hotkey_->start();
  if (!started) Log::info(QStringLiteral("the hotkey is off: no keyboard to read"));
  model().setHotkeyPath(started ? desktop_.hotkeyPath : HotkeyPath::commandOnly);
  model().setStatus(readyMessage(choice, model().hotkeyPath()));
}

void Shell::runSetup() {
  model().setTryItText(QString());
  auto self = std::make_shared<QPointer<QWidget>>();
  auto* view = new OnboardingView(&model(), [self] {
    if (*self) (*self)->close();
  });
  *self = view;
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->setWindowTitle(OnboardingView::windowTitle);
  view->resize(OnboardingView::windowSize);
  centre(view);
  if (setupWindow_) setupWindow_->close();
  setupWindow_ = view;
  bringToFront(view);
  Log::info(QStringLiteral("shown: set-up window"));
}

void Shell::remote(RemoteCommand command) {
  if (feedback_) feedback_->onRemote(command);
}

void Shell::openMain() {
  if (!mainWindow_) {
    mainWindow_ = std::make_unique<MainView>(&model());
    mainWindow_->setWindowTitle(QStringLiteral("Talvo"));
    mainWindow_->resize(mainWindowSize);
    centre(mainWindow_.get());
  }
  bringToFront(mainWindow_.get());
  Log::info(QStringLiteral("shown: main window"));
}

// A shown window is a normal top-level window, so it has its task-bar entry exactly
// while it is shown; closing hides it and the entry goes with it.
void Shell::bringToFront(QWidget* window) {
  model().refresh();
  model().setEntries(history_->recent(shownHistoryEntries));
  window->show();
  window->raise();
  window->activateWindow();
  startSystemPoll();
}

void Shell::startSystemPoll() {
  if (!systemPoll_.isActive()) systemPoll_.start();
}

// Keeps permissions, inputs and the model status live in the windows, and stops once
// none is shown.
void Shell::pollTick() {
  model().refresh();
  applyPolish();
  const bool mainShown = mainWindow_ && mainWindow_->isVisible();
  if (!mainShown && !setupVisible()) systemPoll_.stop();
}

void Shell::scheduleUpdateChecks() {
  if (Updates::feed().isEmpty()) return;
  QPointer<Shell> self(this);
  QTimer::singleShot(firstUpdateCheckMs, this, [self] {
    if (self) checkForUpdate(self->model_.get());
  });
  dailyUpdateCheck_.start();
}

void Shell::showListening(bool listening) {
  if (listening == trayListening_) return;
  trayListening_ = listening;
  tray_->setIcon(trayIcon(listening, QApplication::palette()));
}

bool Shell::setupVisible() const { return setupWindow_ && setupWindow_->isVisible(); }

// Words dictated into the set-up window go to its try-it box, one blank between pieces.
bool Shell::takeIntoTryIt(const QString& text) {
  if (!setupVisible()) return false;
  model().setTryItText(appendedToTryIt(model().tryItText(), text));
  return true;
}

}  // namespace talvo
