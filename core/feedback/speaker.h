#pragma once

#include <QString>

#include <memory>

namespace talvo {

// Reads text aloud. At most one utterance runs: stop() cuts the current one off mid-word.
class Speaker {
public:
  virtual ~Speaker() = default;
  virtual void stop() = 0;
  virtual void say(const QString& text) = 0;
};

// The desktop's speech service, or a speaker that stays silent where there is none.
std::shared_ptr<Speaker> makeDesktopSpeaker();

}  // namespace talvo
