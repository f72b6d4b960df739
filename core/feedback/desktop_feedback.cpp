// The desktop's sounds and speech, each behind a worker thread of its own: the callers are on
// the main thread, and neither service may make it wait.
#include "feedback/serial_worker.h"
#include "feedback/sound_player.h"
#include "feedback/speaker.h"
#include "feedback/speech_client.h"
#include "feedback/theme_cues.h"

namespace talvo {
namespace {

// A dictation asks for two cues; a few more in hand means the sound server is not keeping up.
constexpr std::size_t maxPendingCues = 4;
// Each read-back request replaces the waiting one, so one slot is all there is.
constexpr std::size_t maxPendingSpeech = 1;

class ThemeSoundPlayer final : public SoundPlayer {
public:
  void play(Sound sound) override {
    worker_.post([cues = cues_, sound] { cues->play(sound); });
  }

private:
  std::shared_ptr<ThemeCues> cues_ = std::make_shared<ThemeCues>();  // touched only by the worker
  SerialWorker worker_{maxPendingCues};
};

// Every request supersedes the one before it, so only the latest ever waits.
class DispatcherSpeaker final : public Speaker {
public:
  void stop() override {
    worker_.replace([client = client_] { client->cancel(); });
  }
  void say(const QString& text) override {
    worker_.replace([client = client_, utf8 = text.toUtf8()] { client->say(utf8); });
  }

private:
  std::shared_ptr<SpeechClient> client_ =
      std::make_shared<SpeechClient>();  // touched only by the worker
  SerialWorker worker_{maxPendingSpeech};
};

}  // namespace

std::shared_ptr<SoundPlayer> makeDesktopSoundPlayer() {
  return std::make_shared<ThemeSoundPlayer>();
}
std::shared_ptr<Speaker> makeDesktopSpeaker() { return std::make_shared<DispatcherSpeaker>(); }

}  // namespace talvo
