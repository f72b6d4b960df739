#pragma once

#include "storage/history.h"

#include <QWidget>

class QPushButton;

namespace talvo {

// One dictation: its text, when and how it went, and a Copy button.
class HistoryRow final : public QWidget {
public:
  HistoryRow(const History::Entry& entry, QWidget* parent = nullptr);

  // The local day, short month and time, in the locale's own order.
  static QString timeText(double ts);
  // Empty when the text was pasted.
  static QString outcomeText(const QString& outcome);

private:
  void copy();

  QString text_;
  QPushButton* copyButton_;
};

}  // namespace talvo
