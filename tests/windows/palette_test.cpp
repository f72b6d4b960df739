// The render palettes, judged the way a reader's eye would: by contrast.
#include "windows/main_view.h"

#include "model/app_model.h"
#include "storage/settings_store.h"
#include "support/model_stubs.h"
#include "widgets/look.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace talvo {
namespace {

using look::Appearance;

double luminance(const QColor& c) {
  auto channel = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The usual contrast ratio: 1 for the same colour, 21 for black on white.
double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The application palette for one test, put back afterwards.
class PaletteScope {
public:
  explicit PaletteScope(Appearance appearance) : saved_(QApplication::palette()) {
    QApplication::setPalette(look::palette(appearance));
  }
  ~PaletteScope() { QApplication::setPalette(saved_); }
  PaletteScope(const PaletteScope&) = delete;
  PaletteScope& operator=(const PaletteScope&) = delete;

private:
  QPalette saved_;
};

class RenderPalette : public testing::TestWithParam<Appearance> {};

TEST_P(RenderPalette, TheSidebarStandsApartFromThePage) {
  const PaletteScope scope(GetParam());
  QTemporaryDir dir;
  AppModel model{std::make_shared<Preferences>(std::make_shared<MemorySettingsStore>(),
                                               std::make_shared<test::MemoryLoginItem>()),
                 std::make_shared<History>(dir.filePath("h.jsonl"), 500),
                 std::make_shared<test::AllowingFacts>(), dir.filePath("dictionary.json")};
  MainView view(&model);
  QWidget* side = view.findChild<QListWidget*>(QStringLiteral("sidebar"))->parentWidget();
  const double ratio =
      contrast(side->palette().color(QPalette::Window), view.palette().color(QPalette::Window));
  EXPECT_GT(ratio, 1.1);
  EXPECT_LT(ratio, 1.5);  // quiet: a fill, not a block
}

struct TextOnFill {
  QPalette::ColorRole text;
  QPalette::ColorRole fill;
};

TEST_P(RenderPalette, DisabledTextReadsAsDisabled) {
  const QPalette p = look::palette(GetParam());
  for (const TextOnFill pair : {TextOnFill{QPalette::ButtonText, QPalette::Button},
                                TextOnFill{QPalette::WindowText, QPalette::Window},
                                TextOnFill{QPalette::Text, QPalette::Base}}) {
    const double enabled =
        contrast(p.color(QPalette::Active, pair.text), p.color(QPalette::Active, pair.fill));
    const double disabled =
        contrast(p.color(QPalette::Disabled, pair.text), p.color(QPalette::Disabled, pair.fill));
    EXPECT_LT(disabled, enabled / 2) << pair.text;
    EXPECT_GT(disabled, 1.8) << pair.text;  // faded, yet still legible
  }
}

// A field sits on a card of the same fill, so only its edge tells where to type.
TEST_P(RenderPalette, AFieldsEdgeShowsOnACard) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  ASSERT_NE(fusion, nullptr);
  QLineEdit field;
  field.setStyle(fusion.get());
  field.setPalette(look::palette(GetParam()));
  field.resize(200, 30);
  const QImage picture = field.grab().toImage();
  const QColor fill = picture.pixelColor(100, 15);
  const QColor edge = picture.pixelColor(0, 15);
  EXPECT_EQ(fill, look::palette(GetParam()).color(QPalette::Base));
  EXPECT_GT(contrast(edge, fill), 1.25);
}

INSTANTIATE_TEST_SUITE_P(Both, RenderPalette, testing::Values(Appearance::light, Appearance::dark),
                         [](const auto& info) {
                           return info.param == Appearance::light ? "light" : "dark";
                         });

}  // namespace
}  // namespace talvo
