#pragma once

#include "pipeline/records.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace talvo {

class FlowLayout;
class WordChip;

// The card's content: pick the wrong word, type the right spelling, save. It stays open
// after a save, so several words can be fixed in a row.
class FixWordView final : public QWidget {
public:
  using SaveHandler = std::function<void(const QString& heard, const QString& meant)>;

  static constexpr int width = 420;

  FixWordView(std::vector<SpokenWord> words, SaveHandler onSave, std::function<void()> onClose,
              QWidget* parent = nullptr);

  void pick(int index);
  void save();
  // Asks the owner to close the card (the close button and Esc).
  void dismiss();

  std::optional<int> picked() const { return picked_; }
  QString spelling() const;
  void setSpelling(const QString& text);
  const std::optional<QString>& saved() const { return saved_; }
  QString title() const;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void build();
  void sync();

  std::vector<SpokenWord> words_;
  SaveHandler onSave_;
  std::function<void()> onClose_;
  std::optional<int> picked_;
  std::optional<QString> saved_;

  QLabel* title_ = nullptr;
  QToolButton* closeButton_ = nullptr;
  std::vector<WordChip*> chips_;
  QLabel* hint_ = nullptr;
  QWidget* editRow_ = nullptr;
  QLabel* heard_ = nullptr;
  QLineEdit* field_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QWidget* savedRow_ = nullptr;
  QLabel* savedLabel_ = nullptr;
};

}  // namespace talvo
