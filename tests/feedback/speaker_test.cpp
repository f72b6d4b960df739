#include "feedback/speaker.h"
#include "speech_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace talvo {
namespace {

using test::SpeechServer;

class SpeakerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.start()) << server.log().toStdString(); }

  SpeechServer server;
};

TEST_F(SpeakerTest, SaysTheTextThroughTheSpeechService) {
  const auto speaker = makeDesktopSpeaker();

  speaker->say(QStringLiteral("naïve café at noon"));

  EXPECT_TRUE(server.waitUntilStarted(QStringLiteral("naïve café at noon"))) << server.log().toStdString();
}

// What cuts off an utterance still running, and what is heard next: the service's voice holds
// an utterance for minutes, so anything queued behind it would not begin in time.
struct CutOff {
  const char* name;
  std::function<void(Speaker& speaker, Speaker& other)> act;
  const char* next;
};

void PrintTo(const CutOff& c, std::ostream* out) { *out << c.name; }


class SpeakerCutOffTest : public SpeakerTest, public ::testing::WithParamInterface<CutOff> {};

TEST_P(SpeakerCutOffTest, CutsOffTheUtteranceStillRunning) {
  const auto speaker = makeDesktopSpeaker();
  const auto other = makeDesktopSpeaker();
  speaker->say("first words");
  ASSERT_TRUE(server.waitUntilStarted("first words")) << server.log().toStdString();

  GetParam().act(*speaker, *other);

  EXPECT_TRUE(server.waitUntilStarted(GetParam().next)) << server.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, SpeakerCutOffTest,
                         ::testing::Values(CutOff{"nextDictation", [](Speaker& s, Speaker&) { s.say("second words"); },
                                                  "second words"},
                                           CutOff{"stop",
                                                  [](Speaker& s, Speaker& other) {
                                                    s.stop();
                                                    other.say("another program");
                                                  },
                                                  "another program"},
                                           CutOff{"emptyText",
                                                  [](Speaker& s, Speaker& other) {
                                                    s.say("  ");
                                                    other.say("another program");
                                                  },
                                                  "another program"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpeakerTest, ReconnectsToAServiceThatRestarted) {
  const auto speaker = makeDesktopSpeaker();
  speaker->say("before the restart");
  ASSERT_TRUE(server.waitUntilStarted("before the restart")) << server.log().toStdString();

  server.stop();
  ASSERT_TRUE(server.start()) << server.log().toStdString();
  speaker->say("after the restart");

  EXPECT_TRUE(server.waitUntilStarted("after the restart")) << server.log().toStdString();
}

}  // namespace
}  // namespace talvo
