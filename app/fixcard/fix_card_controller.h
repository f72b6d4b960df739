#pragma once

#include "fixcard/fix_word_view.h"
#include "pipeline/records.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvo {

// Which window has the focus, and handing it back. The desktop implementation asks the
// window manager; tests may record instead.
class WindowFocus {
public:
  virtual ~WindowFocus() = default;
  virtual std::optional<std::uint64_t> activeWindow() = 0;
  virtual void activate(std::uint64_t window) = 0;
};

std::shared_ptr<WindowFocus> makeDesktopWindowFocus();

// The card's window title, which window rules may match.
inline const QString fixCardTitle = QStringLiteral("Fix a word");

// The fix-a-word card: the one window of the program that takes the keyboard focus. When
// it closes, the window that was active before it opened gets the focus back.
class FixCardController final : public QObject {
public:
  explicit FixCardController(std::shared_ptr<WindowFocus> focus);
  FixCardController(const FixCardController&) = delete;
  FixCardController& operator=(const FixCardController&) = delete;
  ~FixCardController() override;

  // Opens the card for `words` with its top-left corner at the top-left of the text cursor
  // `near`, or centred on the screen without one.
  void show(const std::vector<SpokenWord>& words, const std::optional<QRectF>& near);
  void close();

  bool isOpen() const { return !panel_.isNull(); }
  QWidget* panel() const { return panel_; }
  FixWordView* view() const { return view_; }

  std::function<void(const QString& heard, const QString& meant)> onSave;

private:
  void forget();

  std::shared_ptr<WindowFocus> focus_;
  QPointer<QWidget> panel_;
  QPointer<FixWordView> view_;
  std::optional<std::uint64_t> returnTo_;
};

// The card's window without showing it: the view in a frameless panel at its fitting size.
// The pictures use it too.
QWidget* makeFixCardPanel(FixWordView* view);

}  // namespace talvo
