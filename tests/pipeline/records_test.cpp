#include "pipeline/contracts.h"
#include "pipeline/errors.h"
#include "pipeline/records.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(Records, OutcomeTextForms) {
  using namespace insert_outcome;
  EXPECT_EQ(describe(Pasted{}), "pasted");
  EXPECT_EQ(describe(CopiedNoPermission{}), "copied");
  EXPECT_EQ(describe(HeldBack{FocusVerdict::notText}), "held back: notText");
  EXPECT_EQ(describe(HeldBack{FocusVerdict::secureInput}), "held back: secureInput");
  EXPECT_NE(InsertOutcome(HeldBack{FocusVerdict::text}), InsertOutcome(HeldBack{FocusVerdict::ownApp}));
}

TEST(Records, CleanupKindStoredForms) {
  EXPECT_EQ(cleanupKindFromStored(u"rules"), CleanupResult::Kind::rules);
  EXPECT_EQ(cleanupKindFromStored(u"ai"), CleanupResult::Kind::ai);
  EXPECT_EQ(cleanupKindFromStored(u"AI"), std::nullopt);
  EXPECT_EQ(cleanupKindFromStored(u""), std::nullopt);
  EXPECT_EQ(storedForm(CleanupResult::Kind::ai), "ai");
}

TEST(Records, DictationErrorsCarryTheUserMessage) {
  DictationError error(DictationErrorCode::noAudioFormat);
  EXPECT_EQ(error.message(), "This microphone's format isn't supported.");
  EXPECT_STREQ(error.what(), "This microphone's format isn't supported.");
  EXPECT_EQ(errorText(std::make_exception_ptr(DictationError(DictationErrorCode::noMicrophone))),
            "No microphone found.");
  EXPECT_EQ(errorText(std::make_exception_ptr(std::runtime_error("disk on fire"))), "disk on fire");
  EXPECT_EQ(errorText(std::make_exception_ptr(42)), "unknown error");
  EXPECT_EQ(DictationError(DictationErrorCode::silence), DictationError(DictationErrorCode::silence));
}

TEST(Records, StatesCompareByCaseAndPayload) {
  using namespace dictation_state;
  EXPECT_EQ(DictationState(Failed{"a"}), DictationState(Failed{"a"}));
  EXPECT_NE(DictationState(Failed{"a"}), DictationState(Failed{"b"}));
  EXPECT_NE(DictationState(Discarded{AbortReason::combo}), DictationState(Discarded{AbortReason::tooShort}));
  EXPECT_EQ(toString(Done{insert_outcome::Pasted{}}), "done(pasted)");
}

TEST(Records, WordCount) {
  EXPECT_EQ(wordCount(u"  two\nwords "), 2);
  EXPECT_EQ(wordCount(u""), 0);
  EXPECT_EQ(wordCount(u" \t\n "), 0);
  EXPECT_EQ(wordCount(u"one"), 1);
  EXPECT_EQ(wordCount(QString::fromUtf8("caf\u00e9 \U0001F3A4 ok")), 3);
}

TEST(AIStatus, LinuxLabels) {
  EXPECT_EQ(label(AIStatus::turnedOff), "Start a local language model to use Zirad Ediviv.");
  EXPECT_EQ(toString(AIStatus::notEligible), "notEligible");
  EXPECT_TRUE(fixableInSettings(AIStatus::downloading));
  EXPECT_FALSE(fixableInSettings(AIStatus::ready));
}

}  // namespace
}  // namespace talvo
