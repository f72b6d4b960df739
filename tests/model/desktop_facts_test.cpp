#include "audio/mic/pulse_server.h"
#include "model/platform_facts.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace talvo {
namespace {

struct FactsCase {
  const char* name;
  QStringList (*modules)();
  bool microphone;
};

class DesktopFacts : public ::testing::TestWithParam<FactsCase> {};

TEST_P(DesktopFacts, MicrophoneAllowedMeansARealInput) {
  unsetenv("DISPLAY");
  test::PulseServer server(GetParam().modules());
  ASSERT_TRUE(server.running()) << server.log().toStdString();
  const auto facts = makeDesktopFacts();
  EXPECT_EQ(facts->microphoneAllowed(), GetParam().microphone);
  EXPECT_EQ(!facts->inputDevices().empty(), GetParam().microphone);
  EXPECT_FALSE(facts->typingAllowed());  // no X server, so no XTest
  EXPECT_EQ(facts->fnSetting(), FnKeySetting::doNothing);
}

INSTANTIATE_TEST_SUITE_P(
    Model, DesktopFacts,
    ::testing::Values(FactsCase{"virtualMicrophone", test::PulseServer::virtualMicrophone, true},
                      FactsCase{"onlyAMonitor", test::PulseServer::outputOnly, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvo
