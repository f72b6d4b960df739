#pragma once

#include "insertion/clipboard.h"

#include <QString>

#include <memory>

namespace talvo {

// The clipboard through the compositor's data-control protocol (sway and other wlroots
// compositors), on a Wayland connection of its own. It works without a focused window of
// ours, where a toolkit's clipboard is refused by the compositor and says nothing of it.
// The Wayland clipboard holds one item. Main thread; needs a running event loop to hand
// out what it holds.
class WaylandClipboard final : public Clipboard {
public:
  // Longest wait for another program to hand over its clipboard data.
  static constexpr int readTimeoutMs = 1000;
  // Data past this is not kept: no paste is worth holding more in memory.
  static constexpr qsizetype maxBytes = qsizetype(64) << 20;

  // Null, with the reason in `why`, when there is no compositor to reach or it offers no
  // clipboard access.
  static std::unique_ptr<WaylandClipboard> open(QString& why);
  WaylandClipboard(const WaylandClipboard&) = delete;
  WaylandClipboard& operator=(const WaylandClipboard&) = delete;
  ~WaylandClipboard() override;

  std::vector<ClipboardItem> items() override;
  void clear() override;
  void write(const std::vector<ClipboardItem>& items) override;
  uint64_t changeCount() override;

private:
  struct Impl;
  explicit WaylandClipboard(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvo
