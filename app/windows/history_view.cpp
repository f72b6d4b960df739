#include "windows/history_view.h"

#include "model/app_model.h"
#include "widgets/look.h"
#include "windows/history_row.h"
#include "windows/view_parts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace talvo {

namespace {

constexpr int emptyTextWidth = 360;
// Rows built per turn of the event loop: the first turn fills a screen, and a keystroke typed
// while the rest are still being built waits for no more than one such turn.
constexpr int rowsPerTurn = 20;

QString fold(const QString& text) { return QLocale().toLower(text); }

// Showing a widget whose visible parent has a layout lays that parent out at once, so
// showing rows one by one lays the whole list out once per row. While paused, the list's
// layout ignores those requests; it is laid out once, in the next turn of the event loop.
class LayoutPause {
public:
  explicit LayoutPause(QLayout* layout) : layout_(layout) { layout_->setEnabled(false); }
  ~LayoutPause() {
    layout_->setEnabled(true);
    layout_->invalidate();
  }
  LayoutPause(const LayoutPause&) = delete;
  LayoutPause& operator=(const LayoutPause&) = delete;

private:
  QLayout* layout_;
};

QFrame* confirmation(QWidget* parent, QPushButton*& remove, QPushButton*& cancel) {
  QFrame* frame = parts::card(parent, look::orange());
  frame->setObjectName(QStringLiteral("confirmClear"));
  QVBoxLayout* layout = parts::cardLayout(frame);
  layout->addWidget(parts::title(QStringLiteral("Delete all history?"), frame, 13));
  layout->addWidget(parts::note(
      QStringLiteral("This can't be undone. It's only stored on this computer."), frame, 12));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cancel = new QPushButton(QStringLiteral("Cancel"), frame);
  remove = new QPushButton(QStringLiteral("Delete all"), frame);
  remove->setStyleSheet(QStringLiteral("color: #d70015"));
  buttons->addWidget(cancel);
  buttons->addWidget(remove);
  layout->addLayout(buttons);
  frame->hide();
  return frame;
}

}  // namespace

HistoryView::HistoryView(AppModel* model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* layout = new QVBoxLayout(this);
  parts::pageMargins(layout);
  layout->setSpacing(10);
  auto* header = new QHBoxLayout;
  header->addWidget(parts::title(QStringLiteral("History"), this));
  header->addStretch();
  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  clear_->setObjectName(QStringLiteral("clear"));
  header->addWidget(clear_);
  layout->addLayout(header);

  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("search"));
  search_->setPlaceholderText(QStringLiteral("Search what you said"));
  search_->setClearButtonEnabled(true);
  layout->addWidget(search_);

  QPushButton* remove = nullptr;
  QPushButton* cancel = nullptr;
  confirm_ = confirmation(this, remove, cancel);
  layout->addWidget(confirm_);

  pages_ = new QStackedWidget(this);
  auto* empty = new QWidget(pages_);
  auto* emptyLayout = new QVBoxLayout(empty);
  emptyLayout->addStretch();
  QLabel* icon = parts::barsGlyph(40, look::secondary(palette()), empty);
  emptyLayout->addWidget(icon, 0, Qt::AlignHCenter);
  QLabel* emptyTitle = parts::title(QStringLiteral("Nothing yet"), empty, 17);
  emptyTitle->setObjectName(QStringLiteral("nothingYet"));
  emptyLayout->addWidget(emptyTitle, 0, Qt::AlignHCenter);
  emptyText_ = parts::note(QString(), empty, 13);
  emptyText_->setAlignment(Qt::AlignHCenter);
  emptyText_->setMaximumWidth(emptyTextWidth);
  // Stretches either side, not an alignment: an aligned wrapped label gets one line's height.
  auto* centred = new QHBoxLayout;
  centred->addStretch();
  centred->addWidget(emptyText_, 1);
  centred->addStretch();
  emptyLayout->addLayout(centred);
  emptyLayout->addStretch();
  pages_->addWidget(empty);

  auto* scroll = new QScrollArea(pages_);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  list_ = new QWidget(scroll);
  list_->setObjectName(QStringLiteral("historyList"));
  rows_ = new QVBoxLayout(list_);
  rows_->setContentsMargins(0, 8, 0, 0);
  rows_->setSpacing(0);
  scroll->setWidget(list_);
  pages_->addWidget(scroll);
  layout->addWidget(pages_, 1);

  connect(search_, &QLineEdit::textChanged, this, [this] { filter(); });
  connect(clear_, &QPushButton::clicked, this, [this] { askToClear(true); });
  connect(cancel, &QPushButton::clicked, this, [this] { askToClear(false); });
  connect(remove, &QPushButton::clicked, this, [this] { clearAll(); });
  connect(model, &AppModel::entriesChanged, this, [this] { rebuild(); });
  connect(model, &AppModel::hotkeyChanged, this, [this] { rebuild(); });
  rebuild();
}

bool HistoryView::matches(const QString& text, const QString& search) {
  return text.contains(search, Qt::CaseInsensitive);
}

void HistoryView::rebuild() {
  if (!model_) return;
  const auto& entries = model_->entries();
  emptyText_->setText(
      QStringLiteral("Hold ") + label(model_->hotkey()) +
      QStringLiteral(" and talk. Everything you say lands here too, so nothing gets lost."));
  clear_->setEnabled(!entries.empty());
  pages_->setCurrentIndex(entries.empty() ? 0 : 1);
  parts::clear(rows_);
  rows_->addStretch();
  folded_.clear();
  shown_ = entries;
  addRows(++generation_);
}

// The first screenful is built at once and the rest in later turns of the event loop, so
// a long history opens as fast as a short one.
void HistoryView::addRows(int generation) {
  if (generation != generation_) return;
  const QString search = fold(search_->text());
  const int first = static_cast<int>(folded_.size());
  const int last = std::min(static_cast<int>(shown_.size()), first + rowsPerTurn);
  const LayoutPause pause(rows_);
  for (int i = first; i < last; ++i) {
    const auto& entry = shown_[static_cast<std::size_t>(i)];
    auto* row = new HistoryRow(entry, list_);
    folded_ << fold(entry.text);
    row->setVisible(matches(folded_.back(), search));
    rows_->insertWidget(i, row);
  }
  if (last < static_cast<int>(shown_.size())) {
    QTimer::singleShot(0, this, [this, generation] { addRows(generation); });
  }
}

// Rows are hidden, not rebuilt, so a keystroke costs one comparison per entry.
void HistoryView::filter() {
  const QString search = fold(search_->text());
  std::vector<std::pair<QWidget*, bool>> changes;
  for (int i = 0; i < folded_.size(); ++i) {
    QWidget* row = rows_->itemAt(i)->widget();
    const bool match = matches(folded_[i], search);
    if (row && row->isHidden() == match) changes.emplace_back(row, match);
  }
  // A keystroke that shows or hides no row, as most do once a search has narrowed, costs no
  // layout at all.
  if (changes.empty()) return;
  const LayoutPause pause(rows_);
  for (const auto& [row, match] : changes) row->setVisible(match);
}

void HistoryView::askToClear(bool asking) { confirm_->setVisible(asking); }

void HistoryView::clearAll() {
  askToClear(false);
  if (!model_) return;
  model_->history()->clear();
  model_->setEntries(model_->history()->recent(100));
}

}  // namespace talvo
