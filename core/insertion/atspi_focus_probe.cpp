#include "insertion/atspi_focus_probe.h"

#include "insertion/x11_desktop.h"

#include <atspi/atspi.h>

#include <QStringList>

#include <deque>

namespace talvo {

namespace {

// Walking an application's tree costs one bus round trip per element; past this many
// the focus is not worth finding.
constexpr int maxWalkElements = 400;

template <typename T>
struct GRef {
  T* p = nullptr;
  GRef() = default;
  explicit GRef(T* adopt) : p(adopt) {}
  GRef(const GRef& o) : p(o.p ? static_cast<T*>(g_object_ref(o.p)) : nullptr) {}
  GRef& operator=(GRef o) {
    std::swap(p, o.p);
    return *this;
  }
  ~GRef() {
    if (p) g_object_unref(p);
  }
  explicit operator bool() const { return p != nullptr; }
  T* get() const { return p; }
};

struct GErrorBox {
  GError* error = nullptr;
  ~GErrorBox() {
    if (error) g_error_free(error);
  }
  GError** out() { return &error; }
  bool failed() const { return error != nullptr; }
};

bool hasState(AtspiAccessible* object, AtspiStateType state) {
  atspi_accessible_clear_cache(object);
  GRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
  return states && atspi_state_set_contains(states.get(), state);
}

std::optional<QString> roleName(AtspiAccessible* object) {
  GErrorBox error;
  gchar* name = atspi_accessible_get_role_name(object, error.out());
  if (!name) return std::nullopt;
  QString role = QString::fromUtf8(name);
  g_free(name);
  return role;
}

std::optional<int64_t> processOf(AtspiAccessible* object) {
  GErrorBox error;
  guint pid = atspi_accessible_get_process_id(object, error.out());
  if (error.failed() || pid == 0) return std::nullopt;
  return int64_t(pid);
}

// The focus as the accessibility bus tells it: kept up to date from focus events, so
// that a verdict rarely has to search the tree.
class FocusTracker {
public:
  static FocusTracker& instance() {
    // Never destroyed: the bus connection lives as long as the process.
    static FocusTracker* tracker = new FocusTracker;
    return *tracker;
  }

  struct Focus {
    bool busReachable = false;
    bool appFound = false;       // the focused window's application is on the bus
    GRef<AtspiAccessible> element;  // the focused element in it, if any
  };

  Focus find(std::optional<int64_t> focusPid) {
    Focus focus;
    if (!initialised_) return focus;
    GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    GErrorBox error;
    int apps = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : -1;
    if (error.failed() || apps < 0) return focus;
    focus.busReachable = true;
    if (last_ && stillFocused(last_.get(), focusPid)) {
      focus.appFound = true;
      focus.element = last_;
      return focus;
    }
    for (int i = 0; i < apps && !focus.appFound; ++i) {
      GRef<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
      if (!app) continue;
      if (focusPid && processOf(app.get()) != focusPid) continue;
      if (GRef<AtspiAccessible> found = walkForFocus(app.get())) {
        focus.appFound = true;
        focus.element = found;
      } else if (focusPid) {
        focus.appFound = true;
      }
    }
    if (focus.element) last_ = focus.element;
    return focus;
  }

private:
  FocusTracker() {
    if (atspi_init() > 1) return;  // 0: now initialised, 1: already was
    atspi_set_timeout(AtspiFocusProbe::busTimeoutMs, AtspiFocusProbe::busTimeoutMs);
    AtspiEventListener* listener = atspi_event_listener_new(&FocusTracker::onFocus, this, nullptr);
    atspi_event_listener_register(listener, "object:state-changed:focused", nullptr);
    initialised_ = true;
  }

  static void onFocus(AtspiEvent* event, void* self) {
    auto* tracker = static_cast<FocusTracker*>(self);
    if (event->detail1 == 1 && event->source)
      tracker->last_ = GRef<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(event->source)));
    g_boxed_free(ATSPI_TYPE_EVENT, event);
  }

  static bool stillFocused(AtspiAccessible* element, std::optional<int64_t> focusPid) {
    if (focusPid && processOf(element) != focusPid) return false;
    return hasState(element, ATSPI_STATE_FOCUSED);
  }

  // Breadth-first through showing elements, bounded, for one that holds the focus.
  static GRef<AtspiAccessible> walkForFocus(AtspiAccessible* app) {
    std::deque<GRef<AtspiAccessible>> queue;
    queue.emplace_back(static_cast<AtspiAccessible*>(g_object_ref(app)));
    for (int visited = 0; !queue.empty() && visited < maxWalkElements; ++visited) {
      GRef<AtspiAccessible> current = queue.front();
      queue.pop_front();
      if (current.get() != app) {
        atspi_accessible_clear_cache(current.get());
        GRef<AtspiStateSet> states(atspi_accessible_get_state_set(current.get()));
        if (!states) continue;
        if (atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)) return current;
        if (!atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)) continue;
      }
      int count = atspi_accessible_get_child_count(current.get(), nullptr);
      for (int i = 0; i < count; ++i)
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(current.get(), i, nullptr))
          queue.emplace_back(child);
    }
    return {};
  }

  bool initialised_ = false;
  GRef<AtspiAccessible> last_;
};

std::optional<int64_t> focusPidOf(X11Desktop* desktop) {
  return desktop ? desktop->focusedClientPid() : std::nullopt;
}

bool isPassword(const std::optional<QString>& role) {
  return role && *role == QLatin1String("password text");
}

std::optional<ScreenRect> toRect(AtspiRect* r) {
  if (!r) return std::nullopt;
  ScreenRect rect{double(r->x), double(r->y), double(r->width), double(r->height)};
  g_boxed_free(ATSPI_TYPE_RECT, r);
  return rect;
}

std::optional<ScreenRect> caretOf(AtspiAccessible* element) {
  GRef<AtspiText> text(atspi_accessible_get_text_iface(element));
  if (!text) return std::nullopt;
  GErrorBox error;
  int caret = atspi_text_get_caret_offset(text.get(), error.out());
  int count = atspi_text_get_character_count(text.get(), nullptr);
  if (error.failed() || caret < 0) return std::nullopt;
  bool atEnd = caret >= count;
  if (atEnd && count == 0) return std::nullopt;  // empty text has no characters to measure
  int offset = atEnd ? count - 1 : caret;
  auto extents = toRect(atspi_text_get_character_extents(text.get(), offset,
                                                         ATSPI_COORD_TYPE_SCREEN, nullptr));
  if (!extents) return std::nullopt;
  return caret_rules::caretFromCharacter(*extents, atEnd);
}

std::optional<ScreenRect> frameOf(AtspiAccessible* element) {
  GRef<AtspiComponent> component(atspi_accessible_get_component_iface(element));
  if (!component) return std::nullopt;
  return toRect(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr));
}

}  // namespace

AtspiFocusProbe::AtspiFocusProbe(std::optional<int64_t> ownPid)
    : desktop_(X11Desktop::open()), ownPid_(ownPid) {}

AtspiFocusProbe::~AtspiFocusProbe() = default;

FocusVerdict AtspiFocusProbe::verdict() {
  lastRole_.clear();
  std::optional<int64_t> focusPid = focusPidOf(desktop_.get());
  FocusTracker::Focus focus = FocusTracker::instance().find(focusPid);
  std::optional<QString> role = focus.element ? roleName(focus.element.get()) : std::nullopt;
  if (role) lastRole_ = *role;

  if (isPassword(role) || (desktop_ && desktop_->keyboardGrabbedByOther()))
    return FocusVerdict::secureInput;
  if (ownPid_ && focusPid == ownPid_) return FocusVerdict::ownApp;
  if (!focus.busReachable) return FocusVerdict::unknown;
  // An application that is not on the bus (many terminals) may well take text.
  if (!focus.appFound) return FocusVerdict::unknown;
  if (!focus.element) return FocusVerdict::notText;  // nothing has the focus

  AtspiAccessible* element = focus.element.get();
  bool editable = hasState(element, ATSPI_STATE_EDITABLE);
  GRef<AtspiEditableText> editableText(atspi_accessible_get_editable_text_iface(element));
  bool hasCaret = false;
  if (GRef<AtspiText> text{atspi_accessible_get_text_iface(element)}) {
    GErrorBox error;
    hasCaret = atspi_text_get_caret_offset(text.get(), error.out()) >= 0 && !error.failed();
  }
  return classify(role, editable, bool(editableText), hasCaret);
}

std::optional<ScreenRect> Caret::rect() {
  // Kept for the life of the process: closing it at exit could meet a server already gone.
  static X11Desktop* const desktop = X11Desktop::open().release();
  FocusTracker::Focus focus = FocusTracker::instance().find(focusPidOf(desktop));
  if (!focus.element) return std::nullopt;
  AtspiAccessible* element = focus.element.get();
  // A password field's caret would tell how long the password is.
  if (isPassword(roleName(element))) return std::nullopt;
  return caret_rules::choose(caretOf(element), frameOf(element));
}

}  // namespace talvo
