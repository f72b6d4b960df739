#include "render/render_modes.h"

#include "bar/pill_model.h"
#include "bar/pill_view.h"
#include "fixcard/fix_card_controller.h"
#include "fixcard/fix_word_view.h"
#include "render/app_icon_view.h"
#include "render/picture.h"
#include "render/window_pictures.h"
#include "speech/spoken_words.h"
#include "widgets/look.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QPainter>
#include <QStyleFactory>

#include <array>
#include <memory>
#include <utility>

namespace talvo {
namespace {

using K = PillPhase::Kind;
using look::Appearance;

constexpr std::array iconSizes{16, 32, 128, 256, 512};
constexpr int barPictureHeight = 110;
constexpr int barInset = 20;  // the bar is 40 narrower than its picture
constexpr int barTop = 40;
constexpr int barHeight = 60;
constexpr double sampleLinePoints = 14;
constexpr int sampleLineLeft = 30;
constexpr int sampleLineTop = 14;
constexpr int appIconPixels = 64;
constexpr double sampleLevel = 0.55;
constexpr QSize fixCardCanvas(FixWordView::width, 230);

const QString sampleSentence = QStringLiteral("So the Wakutane game got moved to Saturday morning");
const QString doubtfulWord = QStringLiteral("Wakutane");
constexpr double doubtfulConfidence = 0.2;
constexpr double sureConfidence = 0.9;

std::vector<SpokenWord> sampleWords() {
  std::vector<SpokenWord> words;
  for (const QString& text : sampleSentence.split(u' ', Qt::SkipEmptyParts)) {
    const double confidence = text == doubtfulWord ? doubtfulConfidence : sureConfidence;
    words.push_back({text, confidence, confidence < speech::unsureBelow()});
  }
  return words;
}

std::vector<SpokenWord> allSure(std::vector<SpokenWord> words) {
  for (SpokenWord& w : words) w.unsure = false;
  return words;
}

struct BarPicture {
  const char* name;
  int width;
  std::function<void(PillModel&)> setUp;
};

// The bar as it would sit under a line of someone's text.
class BarScene final : public QWidget {
public:
  explicit BarScene(std::shared_ptr<PillModel> model)
      : view_(new PillView(std::move(model), this)) {}

protected:
  void resizeEvent(QResizeEvent*) override {
    view_->setGeometry(barInset, barTop, width() - 2 * barInset, barHeight);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setFont(look::font(sampleLinePoints));
    p.setPen(palette().color(QPalette::WindowText));
    // The narrow pictures would cut the line mid-word; an ellipsis reads as intended.
    const QRect line(sampleLineLeft, sampleLineTop, width() - sampleLineLeft - barInset,
                     barTop - sampleLineTop);
    p.drawText(line, Qt::AlignLeft | Qt::AlignTop,
               p.fontMetrics().elidedText(QStringLiteral("Hey, quick update about the weekend"),
                                          Qt::ElideRight, line.width()));
  }

private:
  PillView* view_;
};

QString fileName(const QString& name, Appearance appearance) {
  return name + (appearance == Appearance::light ? QStringLiteral("-light.png")
                                                 : QStringLiteral("-dark.png"));
}

// Each picture is built after the palette is set, so icons tinted at construction match it.
template <typename Build>
void renderBoth(const QString& directory, const QString& name, QSize canvas, Build build) {
  for (Appearance appearance : {Appearance::light, Appearance::dark}) {
    QApplication::setPalette(look::palette(appearance));
    std::unique_ptr<QWidget> widget = build();
    const QImage image = picture::capture(*widget, canvas, picture::uiScale,
                                          QApplication::palette().color(QPalette::Window));
    (void)picture::write(image, directory, fileName(name, appearance));
  }
  picture::say(QStringLiteral("rendered ") + name);
}

std::vector<BarPicture> barPictures(const std::vector<SpokenWord>& words) {
  const auto listening = [](PillModel& m) { m.setPhase(PillPhase::of(K::listening)); };
  return {
      {"pill-listening-empty", 280, listening},
      {"pill-listening-words", 510,
       [=](PillModel& m) {
         listening(m);
         m.setWords(words);
       }},
      {"pill-locked", 340,
       [=](PillModel& m) {
         listening(m);
         m.setWords(words);
         m.setLocked(true);
       }},
      {"pill-cant-hear", 370,
       [=](PillModel& m) {
         listening(m);
         m.setLevel(0.02);
         m.setCantHear(QStringLiteral("USB Headset"));
       }},
      // Working shows the words being turned into text.
      {"pill-working", 510,
       [=](PillModel& m) {
         m.setPhase(PillPhase::of(K::working));
         m.setWords(words);
       }},
      {"pill-done", 560,
       [=](PillModel& m) {
         m.setPhase(PillPhase::of(K::done));
         m.setWords(allSure(words));
       }},
      {"pill-message", 370,
       [](PillModel& m) {
         m.setPhase(PillPhase::message(QStringLiteral("No text box selected · Click to copy"),
                                       QStringLiteral("text.badge.xmark"), true));
       }},
  };
}

void renderBars(const QString& directory, const std::vector<SpokenWord>& words) {
  const QImage appIcon =
      QIcon::fromTheme(QStringLiteral("accessories-text-editor")).pixmap(appIconPixels).toImage();
  for (const BarPicture& picture : barPictures(words)) {
    renderBoth(directory, QString::fromLatin1(picture.name), QSize(picture.width, barPictureHeight),
               [&] {
                 auto model = std::make_shared<PillModel>();
                 model->setLevel(sampleLevel);
                 if (!appIcon.isNull()) model->setAppIcon(appIcon);
                 picture.setUp(*model);
                 return std::make_unique<BarScene>(model);
               });
  }
}

void renderFixCard(const QString& directory, const std::vector<SpokenWord>& words) {
  renderBoth(directory, QStringLiteral("fix-card"), fixCardCanvas, [&] {
    std::unique_ptr<QWidget> panel(makeFixCardPanel(new FixWordView(words, {}, {})));
    // The picture's canvas, not the card's fitting size, decides its height here.
    panel->layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    return panel;
  });
}

}  // namespace

void renderIcon(const QString& directory) {
  picture::prepareDirectory(directory);
  AppIconView view;
  const QImage master =
      picture::capture(view, QSize(AppIconView::canvas, AppIconView::canvas), 1, Qt::transparent);
  for (int size : iconSizes) {
    for (int scale : {1, 2}) {
      const QString name = QStringLiteral("icon_%1x%1%2.png")
                               .arg(size)
                               .arg(scale == 2 ? QStringLiteral("@2x") : QString());
      const QImage image = master.scaled(size * scale, size * scale, Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation);
      (void)picture::write(image, directory, name);
    }
  }
  picture::say(QStringLiteral("icon set written to ") + directory);
}

void renderUI(const QString& directory) {
  picture::prepareDirectory(directory);
  const std::vector<SpokenWord> words = sampleWords();
  renderBars(directory, words);
  renderFixCard(directory, words);
  renderWindows(directory);
}

std::optional<int> runRenderMode(const Mode& mode, int& argc, char** argv) {
  const auto* icon = std::get_if<mode::RenderIcon>(&mode);
  const auto* ui = std::get_if<mode::RenderUI>(&mode);
  if (!icon && !ui) return std::nullopt;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  look::useIconTheme();
  if (icon)
    renderIcon(icon->path);
  else
    renderUI(ui->path);
  return 0;
}

}  // namespace talvo
