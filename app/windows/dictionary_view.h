#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace talvo {

class AppModel;

// The user's words and fixes; each change is saved at once.
class DictionaryView final : public QWidget {
public:
  explicit DictionaryView(AppModel* model, QWidget* parent = nullptr);

private:
  void rebuild();
  void addWord();
  void addFix();
  void removeWord(const QString& word);
  void removeFix(int index);
  void updateButtons();

  QPointer<AppModel> model_;
  QVBoxLayout* words_;
  QVBoxLayout* fixes_;
  QLineEdit* newWord_;
  QLineEdit* heard_;
  QLineEdit* meant_;
  QPushButton* addWord_;
  QPushButton* addFix_;
};

}  // namespace talvo
