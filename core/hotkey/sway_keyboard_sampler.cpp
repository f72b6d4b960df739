// The keyboard on sway and other compositors that speak its IPC. A Wayland client cannot
// read the keyboard, so the compositor is asked to report the dictation key through
// bindings that do nothing but name themselves in a binding event. Each event becomes the
// keyboard state the hotkey machine would have sampled, one per sample.
#include "hotkey/keyboard_sampler.h"
#include "hotkey/noticed_key.h"
#include "storage/log.h"
#include "sway/sway_ipc.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace talvo {
namespace {

const QString pressed = QStringLiteral("nop talvo-press");
const QString released = QStringLiteral("nop talvo-release");
const QString escaped = QStringLiteral("nop talvo-escape");

class SwayKeyboardSampler final : public KeyboardSampler {
public:
  SwayKeyboardSampler(HotkeyChoice choice, std::unique_ptr<sway::Connection> commands,
                      std::unique_ptr<sway::Connection> events)
      : choice_(choice), key_(choice), commands_(std::move(commands)), events_(std::move(events)) {}
  SwayKeyboardSampler(const SwayKeyboardSampler&) = delete;
  SwayKeyboardSampler& operator=(const SwayKeyboardSampler&) = delete;
  ~SwayKeyboardSampler() override {
    setInPlay(false);
    commands_->run(QStringLiteral("unbindsym %1; unbindsym --release %1").arg(keysymName(choice_)));
  }

  // The key's bindings; false, with the compositor's reason logged, when it refused them.
  bool bind() {
    const QString key = keysymName(choice_);
    const QString error =
        commands_->run(QStringLiteral("bindsym --no-repeat %1 %2; bindsym --release %1 %3")
                           .arg(key, pressed, released));
    if (!error.isEmpty()) Log::info(QStringLiteral("hotkey: sway refused the key: ") + error);
    return error.isEmpty() && events_->subscribe({QStringLiteral("binding")});
  }

  uint64_t flags() override { return key_.next().flags; }
  KeySet down() override { return key_.current().down; }
  int wakeDescriptor() const override { return events_->descriptor(); }
  bool lost() const override { return events_->broken() || commands_->broken(); }

  bool drainWakes() override {
    bool any = false;
    for (const sway::Message& message : events_->readAvailable()) {
      if (message.type != sway::message_type::bindingEvent) continue;
      any = true;
      const QJsonObject binding = QJsonDocument::fromJson(message.payload)
                                      .object()
                                      .value(QLatin1String("binding"))
                                      .toObject();
      step(binding.value(QLatin1String("command")).toString());
    }
    return any || key_.pending();
  }

  // Esc cancels only while a dictation may run: bound for good, it would be taken from
  // every program.
  void setInPlay(bool inPlay) override {
    if (inPlay == escapeBound_) return;
    escapeBound_ = inPlay;
    commands_->run(inPlay ? QStringLiteral("bindsym --no-repeat Escape ") + escaped
                          : QStringLiteral("unbindsym Escape"));
  }

private:
  void step(const QString& command) {
    if (command == pressed) key_.press();
    if (command == released) key_.release();
    if (command == escaped) key_.escape();
  }

  HotkeyChoice choice_;
  NoticedKey key_;
  std::unique_ptr<sway::Connection> commands_;
  std::unique_ptr<sway::Connection> events_;
  bool escapeBound_ = false;
};

}  // namespace

std::unique_ptr<KeyboardSampler> makeSwayKeyboardSampler(HotkeyChoice choice) {
  const QString path = qEnvironmentVariable("SWAYSOCK");
  if (path.isEmpty()) return nullptr;
  QString why;
  auto commands = sway::Connection::open(path, why);
  auto events = commands ? sway::Connection::open(path, why) : nullptr;
  if (!events) {
    Log::info(QStringLiteral("hotkey: ") + why);
    return nullptr;
  }
  auto sampler =
      std::make_unique<SwayKeyboardSampler>(choice, std::move(commands), std::move(events));
  if (!sampler->bind()) return nullptr;
  return sampler;
}

}  // namespace talvo
