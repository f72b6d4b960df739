#include "feedback/speaker.h"
#include "speech_server.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

using test::SpeechServer;

TEST(SpeakerWithoutServiceTest, StaysSilentAndUsesAServiceThatStartsLater) {
  SpeechServer server;  // not started yet
  auto speaker = makeDesktopSpeaker();
  speaker->say("nobody hears this");
  speaker->stop();
  speaker->say("nor this");

  ASSERT_TRUE(server.start()) << server.log().toStdString();
  speaker->say("somebody hears this");

  EXPECT_TRUE(server.waitUntilStarted("somebody hears this")) << server.log().toStdString();
}

}  // namespace
}  // namespace talvo
