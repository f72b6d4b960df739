#include "audio/mic/pulse_connection.h"

#include "storage/log.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

namespace talvo::pulse {
namespace {

bool isFinal(pa_context_state_t state) {
  return state == PA_CONTEXT_READY || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

void contextStateChanged(pa_context* context, void* userdata) {
  auto* self = static_cast<Connection*>(userdata);
  const pa_context_state_t state = pa_context_get_state(context);
  // A dropped connection is a device change too: every source is gone.
  if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) self->notifyListeners();
  pa_threaded_mainloop_signal(self->loop(), 0);
}

void subscriptionEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* userdata) {
  static_cast<Connection*>(userdata)->notifyListeners();
}

// Waits, with the loop locked, until an operation ends; false unless it completed.
bool finish(pa_threaded_mainloop* loop, pa_operation* operation) {
  if (!operation) return false;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(loop);
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

void signalDone(pa_context*, int, void* loop) {
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

struct SourceQuery {
  pa_threaded_mainloop* loop;
  std::vector<Source> sources;
  bool failed = false;
};

void sourceListed(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  auto* query = static_cast<SourceQuery*>(userdata);
  if (eol < 0) query->failed = true;
  if (eol != 0 || !info) {
    pa_threaded_mainloop_signal(query->loop, 0);
    return;
  }
  Source source;
  source.index = info->index;
  source.name = QString::fromUtf8(info->name ? info->name : "");
  source.description = QString::fromUtf8(info->description ? info->description : "");
  source.sampleRate = info->sample_spec.rate;
  source.channels = info->sample_spec.channels;
  source.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
  query->sources.push_back(std::move(source));
}

struct ServerQuery {
  pa_threaded_mainloop* loop = nullptr;
  std::optional<QString> defaultSource;
};

void serverAnswered(pa_context*, const pa_server_info* info, void* userdata) {
  auto* query = static_cast<ServerQuery*>(userdata);
  if (info && info->default_source_name)
    query->defaultSource = QString::fromUtf8(info->default_source_name);
  pa_threaded_mainloop_signal(query->loop, 0);
}

}  // namespace

Connection::Lock::Lock(const Connection& connection) : loop_(connection.loop()) {
  pa_threaded_mainloop_lock(loop_);
}
Connection::Lock::~Lock() { pa_threaded_mainloop_unlock(loop_); }

Connection::Connection() = default;

std::shared_ptr<Connection> Connection::open() {
  std::shared_ptr<Connection> connection(new Connection());
  Connection& self = *connection;
  self.loop_ = pa_threaded_mainloop_new();
  if (!self.loop_) return connection;
  Lock lock(self);
  if (pa_threaded_mainloop_start(self.loop_) < 0) return connection;
  self.context_ = pa_context_new(pa_threaded_mainloop_get_api(self.loop_), "Talvo");
  if (!self.context_) return connection;
  pa_context_set_state_callback(self.context_, contextStateChanged, &self);
  // Never spawn a server: with none running, there is no microphone.
  if (pa_context_connect(self.context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return connection;
  while (!isFinal(pa_context_get_state(self.context_))) pa_threaded_mainloop_wait(self.loop_);
  if (pa_context_get_state(self.context_) != PA_CONTEXT_READY) return connection;
  pa_context_set_subscribe_callback(self.context_, subscriptionEvent, &self);
  const auto mask =
      pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
  // Capture still works without the notices; only a device change goes unseen until the next start.
  if (!finish(self.loop_, pa_context_subscribe(self.context_, mask, signalDone, self.loop_)))
    Log::info(QStringLiteral("mic: the sound server sends no device changes"));
  return connection;
}

Connection::~Connection() {
  if (!loop_) return;
  if (context_) {
    {
      Lock lock(*this);
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_set_subscribe_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

bool Connection::ready() const {
  if (!context_) return false;
  Lock lock(*this);
  return pa_context_get_state(context_) == PA_CONTEXT_READY;
}

std::optional<std::vector<Source>> Connection::sources() {
  if (!context_) return std::nullopt;
  SourceQuery query{loop_, {}};
  Lock lock(*this);
  if (pa_context_get_state(context_) != PA_CONTEXT_READY) return std::nullopt;
  if (!finish(loop_, pa_context_get_source_info_list(context_, sourceListed, &query)) ||
      query.failed)
    return std::nullopt;
  return std::move(query.sources);
}

std::optional<QString> Connection::defaultSourceName() {
  if (!context_) return std::nullopt;
  ServerQuery query{loop_, {}};
  Lock lock(*this);
  if (pa_context_get_state(context_) != PA_CONTEXT_READY) return std::nullopt;
  if (!finish(loop_, pa_context_get_server_info(context_, serverAnswered, &query)))
    return std::nullopt;
  return query.defaultSource;
}

std::optional<Source> Connection::defaultInput() {
  const auto all = sources();
  if (!all) return std::nullopt;
  const auto wanted = defaultSourceName();
  if (wanted)
    for (const Source& source : *all)
      if (source.name == *wanted && !source.monitor) return source;
  // A server with no real input makes a monitor its default; that is not a microphone.
  for (const Source& source : *all)
    if (!source.monitor) return source;
  return std::nullopt;
}

int Connection::addListener(std::function<void()> listener) {
  if (!loop_) return 0;
  Lock lock(*this);
  const int id = nextListener_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void Connection::removeListener(int id) {
  if (!loop_) return;
  Lock lock(*this);
  listeners_.erase(id);
}

void Connection::notifyListeners() {
  for (const auto& [id, listener] : listeners_) listener();
}

}  // namespace talvo::pulse
