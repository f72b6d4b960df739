#include "pipeline/contracts.h"
#include "pipeline/errors.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(Records, TextFormsRulesAndWordCounts) {
  EXPECT_EQ(describe(insert_outcome::CopiedNoPermission{}), "copied");
  EXPECT_STREQ(DictationError(DictationErrorCode::noAudioFormat).what(),
               "This microphone's format isn't supported.");
  EXPECT_EQ(errorText(std::make_exception_ptr(std::runtime_error("disk on fire"))), "disk on fire");
  EXPECT_EQ(errorText(std::make_exception_ptr(42)), "unknown error");
  EXPECT_EQ(cleanupKindFromStored(u"rules"), CleanupResult::Kind::rules);
  EXPECT_EQ(cleanupKindFromStored(u"ai"), CleanupResult::Kind::ai);
  EXPECT_FALSE(cleanupKindFromStored(u"AI") || cleanupKindFromStored(u""));
  EXPECT_TRUE(fixableInSettings(AIStatus::turnedOff) && fixableInSettings(AIStatus::downloading));
  EXPECT_FALSE(fixableInSettings(AIStatus::ready) || fixableInSettings(AIStatus::disabledByUser));
  const std::pair<QString, int> counts[] = {
      {"  two\nwords ", 2}, {"", 0}, {" \t\n ", 0}, {"one", 1}, {"caf\u00e9 \U0001F3A4 ok", 3}};
  for (const auto& [text, count] : counts) EXPECT_EQ(wordCount(text), count) << text.toStdString();
}

}  // namespace
}  // namespace talvo
