#include "windows/history_row.h"

#include "widgets/look.h"
#include "windows/view_parts.h"

#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace talvo {

namespace {

// Widths a row is measured at in one layout pass: the list's width with and without its
// scroll bar, and the window's during a resize.
constexpr std::size_t rememberedWidths = 4;

// A selectable label lays its whole text out again for every height-for-width question, and a
// list of rows asks each row several times per layout pass; the answer only changes with the
// width or the font, so the last few are kept.
class EntryText final : public QLabel {
public:
  EntryText(const QString& text, QWidget* parent) : QLabel(text, parent) {}

  int heightForWidth(int width) const override {
    for (const Measure& known : heights_)
      if (known.width == width) return known.height;
    const int height = QLabel::heightForWidth(width);
    heights_[next_] = {width, height};
    next_ = (next_ + 1) % heights_.size();
    return height;
  }

protected:
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
      heights_.fill({});
    QLabel::changeEvent(event);
  }

private:
  struct Measure {
    int width = -1;
    int height = 0;
  };
  mutable std::array<Measure, rememberedWidths> heights_{};
  mutable std::size_t next_ = 0;
};

}  // namespace

HistoryRow::HistoryRow(const History::Entry& entry, QWidget* parent)
    : QWidget(parent), text_(entry.text) {
  setObjectName(QStringLiteral("historyRow"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 6, 0, 6);
  auto* column = new QVBoxLayout;
  auto* text = new EntryText(entry.text, this);
  text->setObjectName(QStringLiteral("entryText"));
  text->setFont(look::font(13));
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(text);

  auto* meta = new QHBoxLayout;
  QLabel* when = parts::note(timeText(entry.ts), this);
  // A date is never wrapped, and a wrapping label is measured afresh in every layout pass.
  when->setWordWrap(false);
  meta->addWidget(when);
  if (const QString outcome = outcomeText(entry.outcome); !outcome.isEmpty()) {
    auto* status = new QLabel(outcome, this);
    status->setFont(look::font(11));
    status->setStyleSheet(QStringLiteral("color: %1").arg(look::orange().name()));
    meta->addWidget(status);
  }
  meta->addStretch();
  column->addLayout(meta);
  row->addLayout(column, 1);

  copyButton_ = new QPushButton(QStringLiteral("Copy"), this);
  copyButton_->setObjectName(QStringLiteral("copy"));
  connect(copyButton_, &QPushButton::clicked, this, [this] { copy(); });
  row->addWidget(copyButton_, 0, Qt::AlignTop);
}

QString HistoryRow::timeText(double ts) {
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ts * 1000));
  const QLocale locale;
  // Some locales' short time still carries seconds; a dictation is placed to the minute.
  QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  timeFormat.remove(QStringLiteral(":ss"));
  return locale.toString(when.date(), QStringLiteral("d MMM")) + QStringLiteral(", ") +
         locale.toString(when.time(), timeFormat);
}

QString HistoryRow::outcomeText(const QString& outcome) {
  if (outcome == QStringLiteral("pasted")) return {};
  if (outcome == QStringLiteral("copied")) return QStringLiteral("Left on clipboard");
  return QStringLiteral("Not pasted: no text box");
}

void HistoryRow::copy() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(text_);
  copyButton_->setText(QStringLiteral("Copied"));
}

}  // namespace talvo
