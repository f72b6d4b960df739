#include "feedback/speaker.h"
#include "speech_server.h"

#include <gtest/gtest.h>

#include <functional>

namespace talvo {
namespace {

using test::SpeechServer;

// What is heard after a first utterance that is still running. The service's voice holds each
// utterance for minutes, so anything queued behind it instead of cutting it off would not begin.
struct Next {
  const char* name;
  std::function<void(SpeechServer& server, Speaker& speaker, Speaker& other)> act;
  const char* heard;
};

class SpeakerTest : public ::testing::TestWithParam<Next> {
protected:
  SpeechServer server;
};

TEST_P(SpeakerTest, CutsOffTheRunningUtteranceForTheNextOne) {
  ASSERT_TRUE(server.start()) << server.log().toStdString();
  const auto speaker = makeDesktopSpeaker();
  const auto other = makeDesktopSpeaker();
  speaker->say(QStringLiteral("naïve café at noon"));
  ASSERT_TRUE(server.waitUntilStarted(QStringLiteral("naïve café at noon")))
      << server.log().toStdString();

  GetParam().act(server, *speaker, *other);

  EXPECT_TRUE(server.waitUntilStarted(GetParam().heard)) << server.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, SpeakerTest,
                         ::testing::Values(Next{"nextDictation",
                                                [](SpeechServer&, Speaker& s, Speaker&) {
                                                  s.say("second words");
                                                },
                                                "second words"},
                                           Next{"stop",
                                                [](SpeechServer&, Speaker& s, Speaker& other) {
                                                  s.stop();
                                                  other.say("another program");
                                                },
                                                "another program"},
                                           Next{"blankText",
                                                [](SpeechServer&, Speaker& s, Speaker& other) {
                                                  s.say("  ");
                                                  other.say("another program");
                                                },
                                                "another program"},
                                           // The connection breaks under the speaker, which must
                                           // reopen it (and not die writing to it).
                                           Next{"serviceRestarted",
                                                [](SpeechServer& server, Speaker& s, Speaker&) {
                                                  EXPECT_TRUE(server.start())
                                                      << server.log().toStdString();
                                                  s.say("after the restart");
                                                },
                                                "after the restart"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
