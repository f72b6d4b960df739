#pragma once

// Small owners for the GObject values the accessibility library hands out, and the few
// questions about one element that the probe and the focus search both ask.
#include <atspi/atspi.h>

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

namespace talvo::atspi {

// A strong reference to a GObject; adopts the reference it is given.
template <typename T>
class Ref {
public:
  Ref() = default;
  explicit Ref(T* adopt) : p_(adopt) {}
  Ref(const Ref& o) : p_(o.p_ ? static_cast<T*>(g_object_ref(o.p_)) : nullptr) {}
  // Moving hands the reference over without touching the count.
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(const Ref& o) {
    if (this != &o) *this = Ref(o);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) g_object_unref(p_);
  }
  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }

private:
  T* p_ = nullptr;
};

// Takes a new reference to an object the library only lends.
template <typename T>
Ref<T> share(T* borrowed) {
  return Ref<T>(borrowed ? static_cast<T*>(g_object_ref(borrowed)) : nullptr);
}

class ErrorBox {
public:
  ErrorBox() = default;
  ErrorBox(const ErrorBox&) = delete;
  ErrorBox& operator=(const ErrorBox&) = delete;
  ~ErrorBox() {
    if (error_) g_error_free(error_);
  }
  GError** out() { return &error_; }
  bool failed() const { return error_ != nullptr; }

private:
  GError* error_ = nullptr;
};

// Asked fresh from the application: the library's cached states go stale with the focus.
inline bool hasState(AtspiAccessible* object, AtspiStateType state) {
  atspi_accessible_clear_cache(object);
  Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
  return states && atspi_state_set_contains(states.get(), state);
}

inline std::optional<QString> roleName(AtspiAccessible* object) {
  ErrorBox error;
  gchar* name = atspi_accessible_get_role_name(object, error.out());
  if (!name) return std::nullopt;
  QString role = QString::fromUtf8(name);
  g_free(name);
  return role;
}

inline std::optional<int64_t> processOf(AtspiAccessible* object) {
  ErrorBox error;
  guint pid = atspi_accessible_get_process_id(object, error.out());
  if (error.failed() || pid == 0) return std::nullopt;
  return int64_t(pid);
}

}  // namespace talvo::atspi
