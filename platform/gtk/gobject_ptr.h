// RAII for GObject references, signal connections and main-loop sources.
#pragma once

#include <glib-object.h>

#include <utility>

namespace qm::gtk {

template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  explicit GObjectPtr(T* owned) : p(owned) {}  // takes one reference
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  GObjectPtr(GObjectPtr&& o) noexcept : p(std::exchange(o.p, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& o) noexcept {
    reset(std::exchange(o.p, nullptr));
    return *this;
  }
  ~GObjectPtr() { reset(); }
  void reset(T* owned = nullptr) {
    if (p) g_object_unref(p);
    p = owned;
  }
  T* get() const { return p; }
  explicit operator bool() const { return p != nullptr; }

 private:
  T* p = nullptr;
};

// Takes a floating or full reference to a widget and keeps it alive.
template <typename T>
GObjectPtr<T> adopt(T* object) {
  return GObjectPtr<T>(static_cast<T*>(g_object_ref_sink(object)));
}

// Disconnects every handler of one owner from an instance when it goes.
class SignalScope {
 public:
  SignalScope() = default;
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;
  ~SignalScope() {
    if (instance) g_signal_handlers_disconnect_by_data(instance, data);
  }
  void bind(gpointer inst, gpointer owner) {
    instance = inst;
    data = owner;
  }

 private:
  gpointer instance = nullptr;
  gpointer data = nullptr;
};

// A main-loop source that is removed when its owner goes.
class SourceScope {
 public:
  SourceScope() = default;
  SourceScope(const SourceScope&) = delete;
  SourceScope& operator=(const SourceScope&) = delete;
  ~SourceScope() { cancel(); }
  void set(guint source) {
    cancel();
    id = source;
  }
  void fired() { id = 0; }  // call from a callback that returns G_SOURCE_REMOVE
  void cancel() {
    if (id) g_source_remove(std::exchange(id, 0));
  }

 private:
  guint id = 0;
};

}  // namespace qm::gtk
