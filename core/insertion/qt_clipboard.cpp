#include "insertion/qt_clipboard.h"

#include "insertion/x11_desktop.h"
#include "storage/log.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>

namespace talvo {

namespace {
// How long to let the toolkit catch up with a clipboard that changed hands.
constexpr int catchUpMs = 250;

QClipboard* systemClipboard() { return QGuiApplication::clipboard(); }

// Marks our own writes so that the change counter counts only other people's.
class WritingScope {
public:
  explicit WritingScope(bool& flag) : flag_(flag) { flag_ = true; }
  WritingScope(const WritingScope&) = delete;
  WritingScope& operator=(const WritingScope&) = delete;
  ~WritingScope() { flag_ = false; }

private:
  bool& flag_;
};
}  // namespace

QtClipboard::QtClipboard() : desktop_(X11Desktop::open()) {
  QObject::connect(systemClipboard(), &QClipboard::dataChanged, &context_, [this] {
    if (!writing_) ++changes_;
  });
}

QtClipboard::~QtClipboard() = default;

// The toolkit learns that another program took the clipboard only when it processes
// that event. Until then it would hand out our own stale contents as the clipboard's,
// and a snapshot taken then would restore the wrong thing.
void QtClipboard::catchUpWithServer() {
  QClipboard* clipboard = systemClipboard();
  if (!desktop_ || !clipboard->ownsClipboard() || desktop_->ownsSelection("CLIPBOARD")) return;
  QDeadlineTimer deadline(catchUpMs);
  while (clipboard->ownsClipboard() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

std::vector<ClipboardItem> QtClipboard::items() {
  catchUpWithServer();
  // The owner refuses requests stamped before it took the clipboard, and the snapshot
  // would come back empty: the user's clipboard would be lost at the restore.
  refreshClock();
  const QMimeData* data = systemClipboard()->mimeData(QClipboard::Clipboard);
  if (!data) return {};
  ClipboardItem item;
  for (const QString& format : data->formats()) {
    // Pseudo-targets are not data; asking the owner for them only costs a round trip.
    if (clipboard_types::isPseudoTarget(format)) continue;
    item.emplace_back(format, data->data(format));
  }
  if (item.empty()) return {};
  return {std::move(item)};
}

void QtClipboard::refreshClock() {
  if (!clock_.refresh()) Log::info(QStringLiteral("paste: the X server did not tell the time"));
}

// Giving up the clipboard and taking it are both refused when stamped older than the
// current owner's time.
void QtClipboard::takeWithFreshTime(const std::function<void()>& change) {
  refreshClock();
  WritingScope scope(writing_);
  change();
}

void QtClipboard::clear() {
  takeWithFreshTime([] { systemClipboard()->clear(QClipboard::Clipboard); });
}

void QtClipboard::write(const std::vector<ClipboardItem>& items) {
  // The X clipboard holds one item; a second would have nowhere to go.
  if (items.empty()) return;
  auto* data = new QMimeData;
  for (const auto& [type, bytes] : items.front()) data->setData(type, bytes);
  takeWithFreshTime([data] { systemClipboard()->setMimeData(data, QClipboard::Clipboard); });
}

uint64_t QtClipboard::changeCount() {
  catchUpWithServer();
  return changes_;
}

void QtClipboard::mirrorTextToPrimary() {
  QClipboard* clipboard = systemClipboard();
  if (!clipboard->supportsSelection()) return;
  QString text = clipboard->text(QClipboard::Clipboard);
  takeWithFreshTime([&] { clipboard->setText(text, QClipboard::Selection); });
}

}  // namespace talvo
