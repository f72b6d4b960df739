#include "feedback/speaker.h"
#include "speech_server.h"

#include <gtest/gtest.h>

namespace talvo {
namespace {

TEST(SpeakerWithoutServiceTest, StaysSilentAndUsesAServiceThatStartsLater) {
  test::SpeechServer server;  // not started yet
  const auto speaker = makeDesktopSpeaker();
  speaker->say("nobody hears this");
  speaker->stop();

  ASSERT_TRUE(server.start()) << server.log().toStdString();
  speaker->say("somebody hears this");

  EXPECT_TRUE(server.waitUntilStarted("somebody hears this")) << server.log().toStdString();
}

}  // namespace
}  // namespace talvo
