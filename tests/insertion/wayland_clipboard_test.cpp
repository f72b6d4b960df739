// The data-control clipboard against a real headless sway, with wl-clipboard's tools as the
// other programs: reading what they hold, taking over the clipboard, and giving it back.
#include "desktop/sway_session.h"
#include "insertion/wayland_clipboard.h"
#include "support/task_runner.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace talvo {
namespace {

constexpr double toolSeconds = 10.0;

// What another program reads from the clipboard; it runs while our event loop does, so
// that we can hand our data over.
QString pasted(const QStringList& arguments = {}) {
  QProcess paste;
  paste.start("wl-paste", QStringList{"--no-newline"} + arguments);
  test::spinUntil([&] { return paste.state() == QProcess::NotRunning; }, toolSeconds);
  return QString::fromUtf8(paste.readAllStandardOutput());
}

std::optional<QByteArray> typed(const ClipboardItem& item, const QString& type) {
  for (const auto& [offered, data] : item)
    if (offered == type) return data;
  return std::nullopt;
}

TEST(WaylandClipboard, ReadsTakesOverAndGivesBackTheClipboard) {
  test::SwaySession session;
  ASSERT_EQ(session.problem(), "");
  ASSERT_EQ(QProcess::execute("wl-copy", {"--type", "text/plain", "what the user had"}), 0);
  QString why;
  const auto clipboard = WaylandClipboard::open(why);
  ASSERT_TRUE(clipboard) << why.toStdString();

  const ClipboardSnapshot before = ClipboardSnapshot::take(*clipboard);
  ASSERT_EQ(before.items.size(), 1U);
  EXPECT_EQ(typed(before.items.front(), "text/plain"), "what the user had");

  const uint64_t changes = clipboard->changeCount();
  clipboard->write({clipboard_types::pasteItem("dictated words")});
  EXPECT_EQ(pasted(), "dictated words");
  EXPECT_TRUE(pasted({"--list-types"}).contains(clipboard_types::transient));
  EXPECT_EQ(clipboard->changeCount(), changes) << "our own write counts as nobody's change";

  before.restore(*clipboard);
  EXPECT_EQ(pasted(), "what the user had");

  ASSERT_EQ(QProcess::execute("wl-copy", {"copied meanwhile"}), 0);
  EXPECT_GT(clipboard->changeCount(), changes);
  EXPECT_EQ(typed(clipboard->items().front(), "text/plain"), "copied meanwhile");
}

}  // namespace
}  // namespace talvo
