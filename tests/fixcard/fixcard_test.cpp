#include "fixcard/fix_card_controller.h"
#include "fixcard/fix_rules.h"
#include "fixcard/fix_word_view.h"
#include "fixcard/flow_layout.h"
#include "widgets/look.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace talvo {
namespace {

using fix_rules::Fix;

struct RuleCase {
  const char* name;
  QString picked;
  QString spelling;
  std::optional<Fix> expected;
};

class FixRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(FixRule, DecidesWhatIsSaved) {
  EXPECT_EQ(fix_rules::fixFor(GetParam().picked, GetParam().spelling), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    FixCard, FixRule,
    ::testing::Values(
        RuleCase{"commaTrimmed", "Wakutane,", "Whakatane", Fix{"Wakutane", "Whakatane"}},
        RuleCase{"quotesTrimmed", "\"(Wakutane)\"", " Whakatane  ", Fix{"Wakutane", "Whakatane"}},
        RuleCase{"spacesOnly", "Wakutane", "   ", std::nullopt},
        RuleCase{"caseAlone", "Wakutane", "wakutane", Fix{"Wakutane", "wakutane"}},
        RuleCase{"sameText", "Wakutane.", "Wakutane", std::nullopt},
        RuleCase{"innerPunctuationKept", "don't", "do not", Fix{"don't", "do not"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Card {
  std::vector<std::pair<QString, QString>> saves;
  int closes = 0;
  FixWordView view{{{"So", 0.9, false}, {"Wakutane,", 0.2, true}, {"game", 0.9, false}},
                   [this](const QString& h, const QString& m) { saves.emplace_back(h, m); },
                   [this] { ++closes; }};
};

TEST(FixWordView, PickFillsTheFieldAndSaveConfirms) {
  Card card;
  EXPECT_EQ(card.view.title(), QString("Which word was wrong?"));
  card.view.save();  // nothing picked
  card.view.pick(1);
  EXPECT_EQ(card.view.spelling(), QString("Wakutane"));
  EXPECT_EQ(card.view.title(), QString("How should it be spelled?"));

  card.view.setSpelling("Whakatane");
  QTest::keyClick(card.view.findChild<QLineEdit*>(), Qt::Key_Return);
  ASSERT_EQ(card.saves.size(), 1u);
  EXPECT_EQ(card.saves[0], std::make_pair(QString("Wakutane"), QString("Whakatane")));
  EXPECT_EQ(card.view.saved(), QString("Saved. From now on \"Wakutane\" becomes \"Whakatane\"."));
  EXPECT_EQ(card.view.title(), QString("Which word was wrong?"));
  EXPECT_FALSE(card.view.picked());

  card.view.pick(2);  // a new pick hides the confirmation
  EXPECT_FALSE(card.view.saved());
}

TEST(FixWordView, EscapeClosesFromTheField) {
  Card card;
  card.view.pick(0);
  QTest::keyClick(card.view.findChild<QLineEdit*>(), Qt::Key_Escape);
  EXPECT_EQ(card.closes, 1);
}

TEST(FlowLayout, WrapsAndGivesAnOversizedItemItsOwnLine) {
  QWidget host;
  auto* flow = new FlowLayout(10, &host);
  const int widths[] = {100, 100, 250, 50};
  for (int w : widths) {
    auto* item = new QWidget;
    item->setFixedSize(w, 20);
    flow->addWidget(item);
  }
  EXPECT_EQ(flow->heightForWidth(220), 3 * 20 + 2 * 10);  // 100 100 | 250 | 50
  flow->setGeometry(QRect(0, 0, 220, 80));
  EXPECT_EQ(flow->itemAt(1)->geometry().topLeft(), QPoint(110, 0));
  EXPECT_EQ(flow->itemAt(2)->geometry().topLeft(), QPoint(0, 30));
  EXPECT_EQ(flow->itemAt(3)->geometry().topLeft(), QPoint(0, 60));
}

struct RecordingFocus final : WindowFocus {
  std::optional<std::uint64_t> active = 42;
  std::vector<std::uint64_t> activated;
  std::optional<std::uint64_t> activeWindow() override { return active; }
  void activate(std::uint64_t w) override { activated.push_back(w); }
};

TEST(FixCardController, ClosingGivesTheFocusBackOnce) {
  auto focus = std::make_shared<RecordingFocus>();
  FixCardController card(focus);
  std::vector<QString> saved;
  card.onSave = [&](const QString& heard, const QString&) { saved.push_back(heard); };
  card.show({{"Wakutane", 0.2, true}}, QRectF(300, 200, 2, 16));
  ASSERT_TRUE(card.isOpen());
  EXPECT_EQ(card.panel()->pos(), QPoint(300, 200));
  card.view()->pick(0);
  card.view()->setSpelling("Whakatane");
  card.view()->save();
  EXPECT_EQ(saved, std::vector<QString>{"Wakutane"});

  QTest::keyClick(card.view(), Qt::Key_Escape);
  EXPECT_FALSE(card.isOpen());
  EXPECT_EQ(focus->activated, std::vector<std::uint64_t>{42});
  card.close();
  EXPECT_EQ(focus->activated.size(), 1u);
}

TEST(FixCardController, OpensCentredWithoutACursor) {
  FixCardController card(std::make_shared<RecordingFocus>());
  card.show({{"Wakutane", 0.2, true}}, std::nullopt);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((card.panel()->geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST(Look, EverySymbolTheShellUsesIsInTheTheme) {
  for (const char* symbol :
       {"text.cursor", "lock.fill", "exclamationmark.triangle", "doc.on.clipboard", "checkmark",
        "checkmark.circle.fill", "xmark", "arrow.right", "text.badge.xmark", "mic.slash",
        "accessories-text-editor"})
    EXPECT_TRUE(QIcon::hasThemeIcon(look::iconName(symbol))) << symbol;
}

}  // namespace
}  // namespace talvo
