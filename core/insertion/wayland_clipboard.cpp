#include "insertion/wayland_clipboard.h"

#include "insertion/wayland_objects.h"
#include "storage/file_io.h"
#include "storage/log.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>

namespace talvo {
namespace {

using wayland::Owned;
using Manager = Owned<zwlr_data_control_manager_v1, zwlr_data_control_manager_v1_destroy>;
using Device = Owned<zwlr_data_control_device_v1, zwlr_data_control_device_v1_destroy>;
using Source = Owned<zwlr_data_control_source_v1, zwlr_data_control_source_v1_destroy>;
using Offer = Owned<zwlr_data_control_offer_v1, zwlr_data_control_offer_v1_destroy>;

constexpr std::size_t chunkBytes = 65536;

// Reads the pipe to its end, waiting at most until the deadline.
QByteArray readAll(int fd, QDeadlineTimer deadline) {
  QByteArray data;
  std::array<char, chunkBytes> chunk{};
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, int(deadline.remainingTime())) <= 0) return data;
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return data;
    if (n > 0) data.append(chunk.data(), n);
    if (data.size() > WaylandClipboard::maxBytes) return {};
  }
}

// Writes all of it, unless the reader stops reading for longer than the time-out.
void writeAll(int fd, const QByteArray& data) {
  for (qsizetype written = 0; written < data.size();) {
    pollfd ready{fd, POLLOUT, 0};
    if (::poll(&ready, 1, WaylandClipboard::readTimeoutMs) <= 0) return;
    const ssize_t n = ::write(fd, data.constData() + written, std::size_t(data.size() - written));
    if (n < 0 && errno != EINTR && errno != EAGAIN) return;
    if (n > 0) written += n;
  }
}

}  // namespace

struct WaylandClipboard::Impl {
  wayland::Display display;
  wayland::Registry registry;
  wayland::Seat seat;
  Manager manager;
  Device device;
  // Offers announced, with their types, until the clipboard moves on from them.
  std::map<zwlr_data_control_offer_v1*, QStringList> offers;
  zwlr_data_control_offer_v1* selection = nullptr;
  // What this program put on the clipboard, while it is there.
  Source source;
  ClipboardItem written;
  // Selection events that this program's own writes cause, still to come.
  int ownChanges = 0;
  uint64_t changes = 0;
  std::unique_ptr<QSocketNotifier> incoming;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    incoming.reset();
    for (auto& [offer, types] : offers) zwlr_data_control_offer_v1_destroy(offer);
    source.reset();
    device.reset();
    manager.reset();
    seat.reset();
    registry.reset();
    if (display) wl_display_flush(display.get());
  }

  bool sync() { return wl_display_roundtrip(display.get()) >= 0; }

  void forget(zwlr_data_control_offer_v1* offer) {
    if (!offer || !offers.contains(offer)) return;
    offers.erase(offer);
    zwlr_data_control_offer_v1_destroy(offer);
  }

  static Impl& of(void* data) { return *static_cast<Impl*>(data); }

  static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t) {
    Impl& self = of(data);
    if (!self.seat && std::strcmp(interface, wl_seat_interface.name) == 0)
      self.seat.reset(
          static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
    if (!self.manager && std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
      self.manager.reset(static_cast<zwlr_data_control_manager_v1*>(
          wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1)));
  }
  static void globalRemove(void*, wl_registry*, uint32_t) {}

  static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
    of(data).offers[offer] << QString::fromUtf8(type);
  }
  static void dataOffer(void* data, zwlr_data_control_device_v1*,
                        zwlr_data_control_offer_v1* offer) {
    static const zwlr_data_control_offer_v1_listener listener{&offerType};
    of(data).offers[offer];
    zwlr_data_control_offer_v1_add_listener(offer, &listener, data);
  }
  static void selected(void* data, zwlr_data_control_device_v1*,
                       zwlr_data_control_offer_v1* offer) {
    Impl& self = of(data);
    if (self.selection != offer) self.forget(self.selection);
    self.selection = offer;
    if (self.ownChanges > 0) {
      --self.ownChanges;
    } else {
      ++self.changes;
    }
  }
  static void finished(void* data, zwlr_data_control_device_v1*) {
    Log::info(QStringLiteral("clipboard: the compositor ended clipboard access"));
    of(data).device.reset();
  }
  static void primarySelected(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}

  static void send(void* data, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
    const file_io::Fd file(fd);
    for (const auto& [offered, bytes] : of(data).written)
      if (offered == QString::fromUtf8(type)) return writeAll(file.get(), bytes);
  }
  static void cancelled(void* data, zwlr_data_control_source_v1* source) {
    Impl& self = of(data);
    if (self.source.get() != source) return zwlr_data_control_source_v1_destroy(source);
    self.source.reset();
    self.written.clear();
  }

  void dispatch() {
    if (wl_display_dispatch(display.get()) < 0) incoming->setEnabled(false);
    wl_display_flush(display.get());
  }

  // Sets the clipboard to this source (null empties it).
  void select(Source next, ClipboardItem item) {
    if (!device) return;
    ++ownChanges;
    zwlr_data_control_device_v1_set_selection(device.get(), next.get());
    // The old source learns that it is no longer the clipboard through its cancelled event.
    if (source) (void)source.release();
    source = std::move(next);
    written = std::move(item);
    sync();
  }
};

std::unique_ptr<WaylandClipboard> WaylandClipboard::open(QString& why) {
  auto impl = std::make_unique<Impl>();
  static const wl_registry_listener registryListener{&Impl::global, &Impl::globalRemove};
  if (!wayland::connect(impl->display, impl->registry, registryListener, impl.get(), why))
    return nullptr;
  if (!impl->seat || !impl->manager) {
    why = QStringLiteral("the compositor offers no clipboard access");
    return nullptr;
  }
  static const zwlr_data_control_device_v1_listener deviceListener{
      &Impl::dataOffer, &Impl::selected, &Impl::finished, &Impl::primarySelected};
  impl->device.reset(
      zwlr_data_control_manager_v1_get_data_device(impl->manager.get(), impl->seat.get()));
  zwlr_data_control_device_v1_add_listener(impl->device.get(), &deviceListener, impl.get());
  // The device's first selection event says what the clipboard holds now.
  ++impl->ownChanges;
  impl->sync();
  impl->incoming = std::make_unique<QSocketNotifier>(wl_display_get_fd(impl->display.get()),
                                                     QSocketNotifier::Read);
  QObject::connect(impl->incoming.get(), &QSocketNotifier::activated, impl->incoming.get(),
                   [raw = impl.get()] { raw->dispatch(); });
  return std::unique_ptr<WaylandClipboard>(new WaylandClipboard(std::move(impl)));
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

WaylandClipboard::~WaylandClipboard() = default;

std::vector<ClipboardItem> WaylandClipboard::items() {
  Impl& c = *impl_;
  c.sync();
  // Our own data is at hand: asking the compositor for it would wait on ourselves.
  if (c.source) return {c.written};
  if (!c.selection || !c.offers.contains(c.selection)) return {};
  ClipboardItem item;
  const QDeadlineTimer deadline(readTimeoutMs);
  for (const QString& type : c.offers[c.selection]) {
    if (clipboard_types::isPseudoTarget(type)) continue;
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) break;
    const file_io::Fd reading(ends[0]);
    file_io::Fd writing(ends[1]);
    zwlr_data_control_offer_v1_receive(c.selection, type.toUtf8().constData(), writing.get());
    wl_display_flush(c.display.get());
    writing.close();  // the writer's end is the other program's now
    item.emplace_back(type, readAll(reading.get(), deadline));
  }
  return {item};
}

void WaylandClipboard::clear() { impl_->select(nullptr, {}); }

void WaylandClipboard::write(const std::vector<ClipboardItem>& items) {
  if (items.empty()) return clear();
  static const zwlr_data_control_source_v1_listener listener{&Impl::send, &Impl::cancelled};
  Source source(zwlr_data_control_manager_v1_create_data_source(impl_->manager.get()));
  zwlr_data_control_source_v1_add_listener(source.get(), &listener, impl_.get());
  for (const auto& [type, data] : items.front())
    zwlr_data_control_source_v1_offer(source.get(), type.toUtf8().constData());
  impl_->select(std::move(source), items.front());
}

uint64_t WaylandClipboard::changeCount() {
  impl_->sync();
  return impl_->changes;
}

}  // namespace talvo
