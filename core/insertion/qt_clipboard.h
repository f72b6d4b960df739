#pragma once

#include "insertion/clipboard.h"
#include "insertion/qt_x11_clock.h"

#include <QObject>

#include <functional>
#include <memory>

namespace talvo {

class X11Desktop;

// The desktop clipboard through QClipboard. Needs a QGuiApplication.
class QtClipboard final : public Clipboard {
public:
  QtClipboard();
  QtClipboard(const QtClipboard&) = delete;
  QtClipboard& operator=(const QtClipboard&) = delete;
  ~QtClipboard() override;

  std::vector<ClipboardItem> items() override;
  void clear() override;
  void write(const std::vector<ClipboardItem>& items) override;
  uint64_t changeCount() override;

  // Offers the clipboard's current text as the PRIMARY selection too, for terminals that
  // paste from there.
  void mirrorTextToPrimary();

private:
  void catchUpWithServer();
  void refreshClock();
  void takeWithFreshTime(const std::function<void()>& change);

  QObject context_;
  std::unique_ptr<X11Desktop> desktop_;
  QtX11Clock clock_;
  uint64_t changes_ = 0;
  bool writing_ = false;
};

}  // namespace talvo
