#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;

namespace talvo::pulse {

struct Source {
  uint32_t index = 0;
  QString name;
  QString description;
  double sampleRate = 0;
  uint32_t channels = 0;
  bool monitor = false;
};

// One client connection on its own threaded main loop. Queries block the calling thread
// (never the loop's own) until the server answers or the connection drops.
class Connection {
public:
  // Never null; ready() tells whether the server answered.
  static std::shared_ptr<Connection> open();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ready() const;
  std::optional<std::vector<Source>> sources();
  // The server's default source if it is a real input, else the first real input.
  std::optional<Source> defaultInput();

  // Called on the loop thread, with the loop locked, whenever sources or server defaults
  // change or the connection drops. Must not block.
  int addListener(std::function<void()> listener);
  void removeListener(int id);

  pa_threaded_mainloop* loop() const { return loop_; }
  pa_context* context() const { return context_; }

  // Holds the loop's lock; callbacks never run while it is held.
  class Lock {
  public:
    explicit Lock(const Connection& connection);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    pa_threaded_mainloop* loop_;
  };

  // Runs every listener; for the loop's own callbacks.
  void notifyListeners();

private:
  Connection();
  std::optional<QString> defaultSourceName();

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 1;
};

}  // namespace talvo::pulse
