#pragma once

#include "setup/setup_steps.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class QPlainTextEdit;
class QVBoxLayout;

namespace talvo {

class AppModel;

// The set-up window's content: a progress row, the current step and its buttons.
class OnboardingView final : public QWidget {
public:
  static constexpr QSize windowSize{520, 440};
  static inline const QString windowTitle = QStringLiteral("Set up Talvo");
  static constexpr int progressHeight = 3;
  static constexpr int tryItHeight = 110;

  // `close` is called for Esc, and after "Done".
  OnboardingView(AppModel* model, std::function<void()> close, SetupStep step = SetupStep::welcome,
                 QWidget* parent = nullptr);

  SetupStep step() const { return step_; }

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  void rebuild();
  void move(int delta);
  void finish();
  void progress();
  void footer();
  void content();
  void welcome();
  void microphone();
  void pasting();
  void fnKey();
  void tryIt();
  void tryItInstruction();
  void done();
  void header(const QString& title, const QString& subtitle);
  QWidget* status(const QString& text, bool satisfied);
  void tryItChanged();
  void row(const QString& icon, const QString& text);
  void note(const QString& text);
  QString keyLabel() const;
  bool byCommand() const;

  QPointer<AppModel> model_;
  std::function<void()> close_;
  SetupStep step_;
  QHBoxLayout* progress_;
  QVBoxLayout* content_;
  QHBoxLayout* footer_;
  QPlainTextEdit* tryItEditor_ = nullptr;
  QWidget* tryItSuccess_ = nullptr;
};

}  // namespace talvo
