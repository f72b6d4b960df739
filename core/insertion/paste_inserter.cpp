#include "insertion/paste_inserter.h"

#include <QTimer>

#include <chrono>
#include <cmath>
#include <utility>

namespace talvo {

PasteInserter::PasteInserter(std::shared_ptr<FocusProbe> probe,
                             std::shared_ptr<Clipboard> pasteboard, double restoreDelay,
                             std::function<bool()> trusted, std::function<void()> sendPaste)
    : probe_(std::move(probe)),
      pasteboard_(std::move(pasteboard)),
      restoreDelay_(restoreDelay),
      trusted_(std::move(trusted)),
      sendPaste_(std::move(sendPaste)) {}

InsertOutcome PasteInserter::insert(const QString& text) {
  using namespace insert_outcome;
  FocusVerdict verdict = probe_ ? probe_->verdict() : FocusVerdict::unknown;
  switch (verdict) {
    case FocusVerdict::notText:
    case FocusVerdict::secureInput: return HeldBack{verdict};
    case FocusVerdict::ownApp:
      if (ownAppHandler && ownAppHandler(text)) return Pasted{};
      return HeldBack{verdict};
    case FocusVerdict::text:
    case FocusVerdict::unknown: break;
  }
  if (!trusted_ || !trusted_()) {
    // Left for the user to paste by hand, so it must look like anything they copied.
    pasteboard_->clear();
    pasteboard_->write({clipboard_types::plainItem(text)});
    return CopiedNoPermission{};
  }
  return paste(text);
}

ClipboardSnapshot PasteInserter::snapshotToRestore() {
  std::shared_ptr<PendingRestore> pending = std::exchange(pending_, nullptr);
  if (pending && !pending->superseded && pending->changeCount == pasteboard_->changeCount()) {
    // The clipboard still holds our previous paste: the user's contents are the ones
    // that restore was going to put back.
    pending->superseded = true;
    return std::move(pending->snapshot);
  }
  return ClipboardSnapshot::take(*pasteboard_);
}

InsertOutcome PasteInserter::paste(const QString& text) {
  ClipboardSnapshot snapshot = snapshotToRestore();
  pasteboard_->clear();
  pasteboard_->write({clipboard_types::pasteItem(text)});
  uint64_t changeCount = pasteboard_->changeCount();
  if (sendPaste_) sendPaste_();
  scheduleRestore(std::move(snapshot), changeCount);
  return insert_outcome::Pasted{};
}

void PasteInserter::scheduleRestore(ClipboardSnapshot snapshot, uint64_t changeCount) {
  auto delay = std::chrono::milliseconds(std::llround(std::max(0.0, restoreDelay_) * 1000));
  auto pending = std::make_shared<PendingRestore>(PendingRestore{std::move(snapshot), changeCount});
  pending_ = pending;
  // The restore keeps the clipboard alive on its own: the inserter may be gone by then.
  QTimer::singleShot(delay, [clipboard = pasteboard_, pending] {
    if (pending->superseded) return;
    pending->superseded = true;
    // Anything written since, by the user or another program, is newer than the
    // saved contents and wins.
    if (clipboard->changeCount() == pending->changeCount) pending->snapshot.restore(*clipboard);
  });
}

}  // namespace talvo
