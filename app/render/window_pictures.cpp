#include "render/window_pictures.h"

#include "model/app_model.h"
#include "render/picture.h"
#include "setup/onboarding_view.h"
#include "storage/settings_store.h"
#include "widgets/look.h"
#include "windows/main_view.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace talvo {
namespace {

using look::Appearance;

constexpr QSize mainCanvas(760, 640);
constexpr QSize settingsCanvas(760, 860);

// The render model never registers anything at login.
struct NoLoginItem final : LoginItem {
  bool enabled() const override { return false; }
  void setEnabled(bool) override {}
};

// The sample desktop: two inputs with the names a Linux sound server gives them.
struct SampleFacts final : PlatformFacts {
  bool microphoneAllowed() override { return true; }
  bool typingAllowed() override { return true; }
  FnKeySetting fnSetting() override { return FnKeySetting::doNothing; }
  std::vector<InputDevice> inputDevices() override {
    return {{1, QStringLiteral("a"), QStringLiteral("Built-in Audio Analog Stereo")},
            {2, QStringLiteral("b"), QStringLiteral("USB Headset")}};
  }
};

struct RenderModel {
  QTemporaryDir dir;
  std::unique_ptr<AppModel> model;
  double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000;

  explicit RenderModel(bool withEntries = true) {
    auto prefs = std::make_shared<Preferences>(std::make_shared<MemorySettingsStore>(),
                                               std::make_shared<NoLoginItem>());
    auto facts = std::make_shared<SampleFacts>();
    model = std::make_unique<AppModel>(
        prefs, std::make_shared<History>(dir.filePath("history.jsonl"), 500), facts,
        dir.filePath("dictionary.json"));
    model->setAiStatus(AIStatus::turnedOff);
    model->setMics(facts->inputDevices());
    model->setDictionary(
        {{QStringLiteral("Vorlith"), QStringLiteral("Whakatane"), QStringLiteral("NCEA")},
         {{QStringLiteral("Wakutane"), QStringLiteral("Whakatane")},
          {QStringLiteral("oh hope"), QStringLiteral("Ohope")}}});
    if (withEntries) {
      model->setEntries({
          {now - 60,
           QStringLiteral(
               "Can you send me the chemistry notes from Friday? I missed the last ten minutes."),
           {},
           QStringLiteral("ai"),
           4.0,
           QStringLiteral("pasted")},
          {now - 900,
           QStringLiteral("Surf looks good at Ohope tomorrow morning, keen?"),
           {},
           QStringLiteral("rules"),
           3.0,
           QStringLiteral("held back: notText")},
          {now - 7200,
           QStringLiteral(
               "For the biology assignment I think we should focus on how enzymes work at "
               "different temperatures."),
           {},
           QStringLiteral("ai"),
           7.0,
           QStringLiteral("pasted")},
      });
    }
  }
};

QString fileName(const QString& name, Appearance appearance) {
  return name + (appearance == Appearance::light ? QStringLiteral("-light.png")
                                                 : QStringLiteral("-dark.png"));
}

// The model is set up afresh for each palette, so both pictures show the same state.
void renderBoth(const QString& directory, const QString& name, QSize canvas,
                const std::function<std::unique_ptr<QWidget>(RenderModel&)>& build,
                const std::function<void(AppModel&)>& setUp, bool withEntries = true) {
  for (Appearance appearance : {Appearance::light, Appearance::dark}) {
    QApplication::setPalette(look::palette(appearance));
    RenderModel sample(withEntries);
    setUp(*sample.model);
    std::unique_ptr<QWidget> widget = build(sample);
    widget->setAutoFillBackground(true);
    const QImage image = picture::capture(*widget, canvas, picture::uiScale,
                                          QApplication::palette().color(QPalette::Window));
    (void)picture::write(image, directory, fileName(name, appearance));
  }
  picture::say(QStringLiteral("rendered ") + name);
}

struct SetupPicture {
  const char* name;
  SetupStep step;
  std::function<void(AppModel&)> setUp;
};

void fnConflict(AppModel& m) {
  m.setMicGranted(true);
  m.setAxTrusted(true);
  m.setHotkey(HotkeyChoice::fn);
  m.setFnSetting(FnKeySetting::emoji);
}

void renderSetup(const QString& directory) {
  const SetupPicture pictures[] = {
      {"setup-1-welcome", SetupStep::welcome, [](AppModel& m) { m.setMicGranted(false); }},
      {"setup-2-mic-ask", SetupStep::microphone, [](AppModel& m) { m.setMicGranted(false); }},
      {"setup-2-mic-ok", SetupStep::microphone, [](AppModel& m) { m.setMicGranted(true); }},
      {"setup-3-pasting", SetupStep::pasting,
       [](AppModel& m) {
         m.setMicGranted(true);
         m.setAxTrusted(false);
       }},
      {"setup-4-fn", SetupStep::fnKey, fnConflict},
      {"setup-5-try", SetupStep::tryIt,
       [](AppModel& m) {
         fnConflict(m);
         m.setTryItText(QStringLiteral("This is my first try."));
       }},
      {"setup-5-try-command", SetupStep::tryIt,
       [](AppModel& m) {
         m.setMicGranted(true);
         m.setAxTrusted(true);
         m.setHotkeyPath(HotkeyPath::commandOnly);
       }},
      {"setup-6-done", SetupStep::done,
       [](AppModel& m) {
         fnConflict(m);
         m.setTryItText(QStringLiteral("This is my first try."));
       }},
  };
  for (const SetupPicture& p : pictures) {
    const SetupStep step = p.step;
    renderBoth(
        directory, QString::fromLatin1(p.name), OnboardingView::windowSize,
        [step](RenderModel& r) {
          return std::make_unique<OnboardingView>(r.model.get(), std::function<void()>{}, step);
        },
        p.setUp);
  }
}

struct MainPicture {
  const char* name;
  Section section;
  QSize canvas;
  std::function<void(AppModel&)> setUp;
  bool withEntries = true;
};

void renderMain(const QString& directory) {
  const auto allowed = [](AppModel& m) {
    m.setMicGranted(true);
    m.setAxTrusted(true);
  };
  const auto typingOff = [](AppModel& m) {
    m.setMicGranted(true);
    m.setAxTrusted(false);
    m.setFnSetting(FnKeySetting::emoji);
  };
  const MainPicture pictures[] = {
      {"main-home", Section::home, mainCanvas, allowed},
      {"main-history", Section::history, mainCanvas, typingOff},
      {"main-dictionary", Section::dictionary, mainCanvas, typingOff},
      {"main-settings", Section::settings, settingsCanvas, allowed},
      {"main-history-empty", Section::history, mainCanvas, typingOff, false},
      {"main-settings-command", Section::settings, settingsCanvas,
       [allowed](AppModel& m) {
         allowed(m);
         m.setHotkeyPath(HotkeyPath::commandOnly);
       }},
  };
  for (const MainPicture& p : pictures) {
    const Section section = p.section;
    renderBoth(
        directory, QString::fromLatin1(p.name), p.canvas,
        [section](RenderModel& r) {
          const double now = r.now;
          auto view = std::make_unique<MainView>(r.model.get(), nullptr, [now] { return now; });
          view->setSection(section);
          return view;
        },
        p.setUp, p.withEntries);
  }
}

}  // namespace

void renderWindows(const QString& directory) {
  renderSetup(directory);
  renderMain(directory);
}

}  // namespace talvo
