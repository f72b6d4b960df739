#include "replay/replay_report.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

namespace talvo {
namespace {

DictationRecord sampleRecord() {
  DictationRecord r;
  r.raw = "hello there world";
  r.text = "Hello there, world.";
  r.sttMs = 31.9;
  r.cleanupMs = 0.4;
  r.totalMs = 33.7;
  r.words = {{"hello", 0.91, false}, {"there", 0.3, true}, {"world", std::nullopt, false}};
  return r;
}

TEST(ReplayReport, ClipLines) {
  DictationRecord record = sampleRecord();
  const ClipResult result =
      makeClipResult("a.wav", record, {"hello there world", {}}, {"Hello there world", {}});
  EXPECT_EQ(
      clipLines(result, record, 4, 0.5),
      (QStringList{"a.wav              release->text   33ms (stt   31ms, cleanup    0ms rules, "
                   "pocketsphinx)  WER raw 0.00 final 0.00",
                   "    live updates 4, first after 0.50s | lowest confidence 0.30 | unsure: there",
                   "    words: hello=0.91 there=0.30 world=-1.00"}));
  // The server's text names it.
  record.engine = SpeechEngine::server;
  EXPECT_TRUE(clipLines(makeClipResult("a.wav", record, {}, {}), record, 4, 0.5)[0].contains(
      "rules, server)"));
  // No live words and no confidence at all print -1; a long name is not cut.
  record.words = {{"hi", std::nullopt, false}};
  const QStringList lines =
      clipLines(makeClipResult("a-very-long-clip-name.wav", record, {}, {}), record, 0, {});
  EXPECT_TRUE(lines[0].startsWith("a-very-long-clip-name.wav release->text"));
  EXPECT_EQ(lines[1],
            "    live updates 0, first after -1.00s | lowest confidence -1.00 | unsure: ");
}

TEST(ReplayReport, SummaryTakesTheUpperMiddle) {
  ClipResult a;
  ClipResult b;
  a.totalMs = 900;
  b.totalMs = 700;
  EXPECT_EQ(summaryLine({a, b}), QString("median release->text 900 ms, worst 900 ms, 2 clips"));
  EXPECT_EQ(summaryLine({}), std::nullopt);
}

TEST(ReplayReport, JsonHasSortedKeys) {
  EXPECT_EQ(resultsJson({}).trimmed(), "[]");
  const std::string text =
      resultsJson({makeClipResult("x.wav", sampleRecord(), {}, {})}).toStdString();
  const auto parsed = nlohmann::json::parse(text);
  std::vector<std::string> keys;
  for (auto it = parsed[0].begin(); it != parsed[0].end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"cleanup", "cleanup_ms", "engine", "file", "note",
                                            "raw", "stt_ms", "text", "total_ms", "want",
                                            "wer_final_vs_want", "wer_raw"}));
  EXPECT_EQ(parsed[0]["total_ms"], 33);
  EXPECT_EQ(parsed[0]["engine"], "pocketsphinx");
  EXPECT_EQ(parsed[0]["wer_raw"], 1.0);
  EXPECT_LT(text.find("\"cleanup\""), text.find("\"file\""));  // sorted in the file too
}

TEST(ReplayReport, LineBreaksInANameCannotStartALine) {
  EXPECT_EQ(printableLine("a\nb\rc\u2028d\te: caf\u00e9"),
            "a\\u000ab\\u000dc\\u2028d\\u0009e: caf\u00e9");
}

}  // namespace
}  // namespace talvo
