// Work handed to the default main context (GTK's, and the portals' answers on it), from any thread.
#pragma once

#include <glib.h>

#include <functional>

namespace qm::gtk {

inline void postToMainLoop(std::function<void()> work) {
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        (*static_cast<std::function<void()>*>(data))();
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(work)), [](gpointer d) { delete static_cast<std::function<void()>*>(d); });
}

}  // namespace qm::gtk
