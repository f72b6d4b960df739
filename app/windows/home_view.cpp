#include "windows/home_view.h"

#include "model/app_model.h"
#include "widgets/look.h"
#include "windows/history_row.h"
#include "windows/view_parts.h"
#include "windows/week_figures.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace talvo {

namespace {

constexpr int dotSize = 10;
constexpr double figureSize = 26;

QLabel* dot(const QColor& colour, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setFixedSize(dotSize, dotSize);
  label->setStyleSheet(
      QStringLiteral("background: %1; border-radius: %2px;").arg(colour.name()).arg(dotSize / 2));
  return label;
}

struct Problem {
  QString text;
  std::optional<SettingsLink> link;
};

std::vector<Problem> problems(const AppModel& model) {
  std::vector<Problem> list;
  if (!model.micGranted()) {
    list.push_back(
        {QStringLiteral("Microphone isn't allowed"), AppModel::microphoneSettingsLink()});
  }
  if (!model.axTrusted()) {
    list.push_back({QStringLiteral("Typing for you is off, so words go to the clipboard"),
                    AppModel::accessibilitySettingsLink()});
  }
  if (model.globeKeyConflict()) {
    list.push_back(
        {QStringLiteral("The 🌐 key is set to ") + label(model.fnSetting()), std::nullopt});
  }
  return list;
}

}  // namespace

HomeView::HomeView(AppModel* model, Go go, std::function<double()> now, QWidget* parent)
    : QWidget(parent), model_(model), go_(std::move(go)), now_(std::move(now)) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* content = new QWidget(scroll);
  cards_ = new QVBoxLayout(content);
  parts::pageMargins(cards_);
  scroll->setWidget(content);
  outer->addWidget(scroll);
  for (auto signal :
       {&AppModel::entriesChanged, &AppModel::micGrantedChanged, &AppModel::axTrustedChanged,
        &AppModel::fnSettingChanged, &AppModel::hotkeyChanged, &AppModel::updateChanged}) {
    connect(model, signal, this, [this] { rebuild(); });
  }
  rebuild();
}

void HomeView::rebuild() {
  if (!model_) return;
  QWidget* content = cards_->parentWidget();
  parts::clear(cards_);
  for (QWidget* card : {statusCard(), updateCard(), problemsCard(), weekCard(), lastCard()}) {
    if (card) cards_->addWidget(card);
  }
  cards_->addWidget(
      parts::note(QStringLiteral("Closing this window keeps Talvo running in the tray."), content));
  cards_->addStretch();
}

QWidget* HomeView::statusCard() {
  QFrame* card = parts::card(cards_->parentWidget());
  QVBoxLayout* layout = parts::cardLayout(card);
  const bool ready = problems(*model_).empty();
  auto* head = new QHBoxLayout;
  head->addWidget(dot(ready ? QColor(0x28, 0xa7, 0x45) : look::orange(), card));
  QLabel* word =
      parts::title(ready ? QStringLiteral("Ready") : QStringLiteral("Almost ready"), card, 17);
  word->setObjectName(QStringLiteral("readiness"));
  head->addWidget(word);
  head->addStretch();
  layout->addLayout(head);
  layout->addWidget(parts::note(QStringLiteral("Hold ") + label(model_->hotkey()) +
                                    QStringLiteral(" anywhere, talk, let go."),
                                card, 13));
  return card;
}

QWidget* HomeView::updateCard() {
  const auto& update = model_->update();
  if (!update) return nullptr;
  QFrame* card = parts::card(cards_->parentWidget(), palette().color(QPalette::Highlight));
  card->setObjectName(QStringLiteral("updateCard"));
  QVBoxLayout* layout = parts::cardLayout(card);
  layout->addWidget(parts::title(
      QStringLiteral("Talvo ") + update->version + QStringLiteral(" is out"), card, 13));
  if (update->notes) layout->addWidget(parts::note(*update->notes, card, 12));
  auto* download = new QPushButton(QStringLiteral("Download"), card);
  download->setIcon(look::symbolIcon(QStringLiteral("folder-download-symbolic"), 16,
                                     palette().color(QPalette::ButtonText)));
  const QUrl url(update->url);
  connect(download, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(url); });
  layout->addWidget(download, 0, Qt::AlignLeft);
  return card;
}

QWidget* HomeView::problemsCard() {
  const auto list = problems(*model_);
  if (list.empty()) return nullptr;
  QFrame* card = parts::card(cards_->parentWidget(), look::orange());
  QVBoxLayout* layout = parts::cardLayout(card);
  for (const Problem& problem : list) {
    auto* row = new QHBoxLayout;
    row->addWidget(
        parts::symbolLabel(QStringLiteral("dialog-warning-symbolic"), 16, look::orange(), card));
    auto* text = new QLabel(problem.text, card);
    text->setObjectName(QStringLiteral("problem"));
    text->setWordWrap(true);
    row->addWidget(text, 1);
    if (problem.link) {
      auto* fix = new QPushButton(QStringLiteral("Fix"), card);
      const SettingsLink link = *problem.link;
      connect(fix, &QPushButton::clicked, this,
              [link] { QProcess::startDetached(link.program, link.arguments); });
      row->addWidget(fix);
    }
    layout->addLayout(row);
  }
  return card;
}

QWidget* HomeView::weekCard() {
  QFrame* card = parts::card(cards_->parentWidget());
  QVBoxLayout* layout = parts::cardLayout(card);
  layout->addWidget(parts::title(QStringLiteral("This week"), card, 13));
  const WeekFigures figures = weekFigures(model_->entries(), now_());
  auto* grid = new QGridLayout;
  const std::array<std::pair<QString, QString>, 3> cells{{
      {QString::number(figures.words), QStringLiteral("words")},
      {QString::number(figures.dictations),
       figures.dictations == 1 ? QStringLiteral("dictation") : QStringLiteral("dictations")},
      {QString::number(figures.minutesSaved) + QStringLiteral(" min"),
       QStringLiteral("saved vs typing")},
  }};
  for (int i = 0; i < 3; ++i) {
    QLabel* figure = parts::title(cells[i].first, card, figureSize);
    figure->setObjectName(QStringLiteral("figure"));
    grid->addWidget(figure, 0, i);
    grid->addWidget(parts::note(cells[i].second, card, 12), 1, i);
  }
  layout->addLayout(grid);
  return card;
}

QWidget* HomeView::lastCard() {
  const auto& entries = model_->entries();
  if (entries.empty()) return nullptr;
  QFrame* card = parts::card(cards_->parentWidget());
  QVBoxLayout* layout = parts::cardLayout(card);
  auto* head = new QHBoxLayout;
  head->addWidget(parts::title(QStringLiteral("Last thing you said"), card, 13));
  head->addStretch();
  auto* all = new QPushButton(QStringLiteral("All history"), card);
  all->setFlat(true);
  all->setStyleSheet(QStringLiteral("color: palette(highlight); border: none;"));
  connect(all, &QPushButton::clicked, this, [this] {
    if (go_) go_(Section::history);
  });
  head->addWidget(all);
  layout->addLayout(head);
  layout->addWidget(new HistoryRow(entries.front(), card));
  return card;
}

}  // namespace talvo
