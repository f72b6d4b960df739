#pragma once

#include "insertion/clipboard.h"

#include <QObject>

namespace talvo {

// The desktop clipboard through QClipboard. Needs a QGuiApplication.
class QtClipboard final : public Clipboard {
public:
  QtClipboard();
  ~QtClipboard() override;

  std::vector<ClipboardItem> items() override;
  void clear() override;
  void write(const std::vector<ClipboardItem>& items) override;
  uint64_t changeCount() override;

  // Offers the clipboard's current text as the PRIMARY selection too, for terminals that
  // paste from there.
  void mirrorTextToPrimary();

private:
  QObject context_;
  uint64_t changes_ = 0;
  bool writing_ = false;
};

}  // namespace talvo
