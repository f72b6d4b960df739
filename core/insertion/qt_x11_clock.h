#pragma once

#include <QAbstractNativeEventFilter>
#include <QWindow>

#include <cstdint>

namespace talvo {

// Qt takes an X selection at the time of the last X event it has seen. A program that has
// seen no recent events of its own offers an old time, and the server refuses a selection
// older than the current owner's: the paste would then paste the old clipboard. Qt keeps
// the time of every property change on its windows, so touching a property of a hidden
// window of ours, and waiting until Qt has seen the change, brings its clock up to date.
// Needs a QGuiApplication on X11; elsewhere it does nothing.
class QtX11Clock final : public QAbstractNativeEventFilter {
public:
  QtX11Clock();
  ~QtX11Clock() override;
  QtX11Clock(const QtX11Clock&) = delete;
  QtX11Clock& operator=(const QtX11Clock&) = delete;

  // False when the change did not come back in time; Qt's clock may then still be old.
  [[nodiscard]] bool refresh();

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
  QWindow window_;
  void* display_ = nullptr;
  unsigned long atom_ = 0;
  bool seen_ = false;
};

}  // namespace talvo
