#pragma once

#include "insertion/clipboard.h"
#include "pipeline/contracts.h"

#include <functional>
#include <memory>

namespace talvo {

// Puts dictated text into the focused application the way a user would: on the
// clipboard, then the paste keystroke, then the user's clipboard back once the target
// has had time to read it.
class PasteInserter final : public Inserter {
public:
  using OwnAppHandler = std::function<bool(const QString&)>;

  static constexpr double defaultRestoreDelay = 0.6;

  PasteInserter(std::shared_ptr<FocusProbe> probe, std::shared_ptr<Clipboard> pasteboard,
                double restoreDelay, std::function<bool()> trusted,
                std::function<void()> sendPaste);

  InsertOutcome insert(const QString& text) override;

  OwnAppHandler ownAppHandler;

private:
  // A restore that has not run yet. A second paste inside the delay must put back the
  // user's contents, not the first paste's text, so it takes this one over.
  struct PendingRestore {
    ClipboardSnapshot snapshot;
    uint64_t changeCount = 0;
    bool superseded = false;
  };

  InsertOutcome paste(const QString& text);
  ClipboardSnapshot snapshotToRestore();
  void scheduleRestore(ClipboardSnapshot snapshot, uint64_t changeCount);

  std::shared_ptr<FocusProbe> probe_;
  std::shared_ptr<Clipboard> pasteboard_;
  double restoreDelay_;
  std::function<bool()> trusted_;
  std::function<void()> sendPaste_;
  std::shared_ptr<PendingRestore> pending_;
};

}  // namespace talvo
