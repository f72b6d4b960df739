#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "storage/history.h"

#include <vector>

class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QFrame;
class QLabel;

namespace talvo {

class AppModel;

// Every dictation, newest first, with a search and a way to clear them all.
class HistoryView final : public QWidget {
public:
  explicit HistoryView(AppModel* model, QWidget* parent = nullptr);

private:
  // Both sides already lowered by the user's locale, so a Turkish dotted I finds its i.
  static bool matches(const QString& text, const QString& search);

  void rebuild();
  void addRows(int generation);
  void filter();
  void askToClear(bool asking);
  void clearAll();

  QPointer<AppModel> model_;
  QLineEdit* search_;
  QPushButton* clear_;
  QFrame* confirm_;
  QStackedWidget* pages_;
  QLabel* emptyText_;
  QWidget* list_;
  QVBoxLayout* rows_;
  QStringList folded_;
  std::vector<History::Entry> shown_;
  int generation_ = 0;
};

}  // namespace talvo
