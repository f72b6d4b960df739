#include "insertion/x11_paste_sender.h"

#include "insertion/paste_keys.h"
#include "insertion/qt_clipboard.h"
#include "insertion/x11_desktop.h"
#include "storage/log.h"

#include <QDeadlineTimer>
#include <QThread>

namespace talvo {

namespace {
constexpr int pollMs = 2;

// Polls without running the event loop: the caller is in the middle of an insertion.
bool waitFor(const std::function<bool()>& condition, QDeadlineTimer deadline) {
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(pollMs);
  }
  return true;
}
}  // namespace

X11PasteSender::X11PasteSender(std::shared_ptr<QtClipboard> clipboard)
    : clipboard_(std::move(clipboard)), desktop_(X11Desktop::open()) {}

X11PasteSender::~X11PasteSender() = default;

bool X11PasteSender::trusted() {
  auto desktop = X11Desktop::open();
  return desktop && desktop->hasXTest();
}

void X11PasteSender::sendPaste(const QString& focusedRole) {
  if (!desktop_) return;
  auto [instance, wmClass] = desktop_->focusedWmClass();
  PasteKeys keys = choosePasteKeys(instance, wmClass, focusedRole);
  bool primaryToo = keys == PasteKeys::shiftInsert;
  if (primaryToo && clipboard_) clipboard_->mirrorTextToPrimary();

  // A paste that reaches the target before the server knows our clipboard pastes the
  // old contents; one sent while the user still holds a modifier becomes another shortcut.
  QDeadlineTimer deadline(maxWaitMs);
  bool owned = waitFor(
      [&] {
        return desktop_->ownsSelection("CLIPBOARD") &&
               (!primaryToo || desktop_->ownsSelection("PRIMARY"));
      },
      deadline);
  if (!owned)
    Log::info(QStringLiteral("paste: the clipboard was not ours in time; pasting anyway"));
  if (!waitFor([&] { return !desktop_->modifiersHeld(); }, deadline))
    Log::info(QStringLiteral("paste: a modifier key is still held; pasting anyway"));
  desktop_->sendKeys(keys);
}

}  // namespace talvo
