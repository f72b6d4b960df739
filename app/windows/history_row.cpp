#include "windows/history_row.h"

#include "widgets/look.h"
#include "windows/view_parts.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvo {

HistoryRow::HistoryRow(const History::Entry& entry, QWidget* parent)
    : QWidget(parent), text_(entry.text) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 6, 0, 6);
  auto* column = new QVBoxLayout;
  auto* text = new QLabel(entry.text, this);
  text->setObjectName(QStringLiteral("entryText"));
  text->setFont(look::font(13));
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(text);

  auto* meta = new QHBoxLayout;
  meta->addWidget(parts::note(timeText(entry.ts), this));
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
