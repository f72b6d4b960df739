#pragma once

#include "insertion/clipboard.h"

namespace talvo::test {

// An in-memory clipboard that counts every change, as a system clipboard does.
class FakeClipboard final : public Clipboard {
public:
  std::vector<ClipboardItem> contents;
  uint64_t changes = 0;

  std::vector<ClipboardItem> items() override { return contents; }
  void clear() override { contents.clear(), ++changes; }
  void write(const std::vector<ClipboardItem>& items) override {
    contents.insert(contents.end(), items.begin(), items.end());
    ++changes;
  }
  uint64_t changeCount() override { return changes; }

  // Someone else copies something.
  void copyFromElsewhere(const std::vector<ClipboardItem>& items) { contents = items, ++changes; }
};

}  // namespace talvo::test
