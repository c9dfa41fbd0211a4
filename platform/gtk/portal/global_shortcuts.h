// Global keys through the desktop's org.freedesktop.portal.GlobalShortcuts (xdg-desktop-portal 1.16 or
// later; KDE Plasma 5.27 or later, GNOME 48 or later, Hyprland). GLib/GIO only, no toolkit.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/portal/request.h"

namespace qm::gtk {

struct PortalShortcut {
  std::string id, description, preferredTrigger;  // trigger in the XDG shortcuts format ("F8", "CTRL+a"), or empty
};

class PortalShortcuts {
 public:
  enum class State { Starting, Ready, Absent, Refused };
  struct Listener {
    std::function<void(const std::string& id, bool down)> key;  // Activated and Deactivated
    std::function<void()> changed;                              // the state or a trigger changed
    std::function<void(const std::string&)> note;               // one line for the log
  };

  // Starts at once: registers the app id, opens a session and binds the shortcuts, all asynchronously.
  PortalShortcuts(GDBusConnection* bus, std::string appId, std::vector<PortalShortcut> shortcuts, Listener listener);
  ~PortalShortcuts();
  PortalShortcuts(const PortalShortcuts&) = delete;
  PortalShortcuts& operator=(const PortalShortcuts&) = delete;

  // A portal that restarts stays Ready meanwhile: the same shortcuts are registered again once it is back.
  State state() const { return current; }
  // What the desktop says triggers a shortcut once ready: empty when it bound none.
  std::optional<std::string> trigger(const std::string& id) const;
  bool canConfigure() const { return current == State::Ready && !returning && version >= 2; }
  void configure();

 private:
  using Answer = PortalRequest::Answer;
  void start();
  static void onRegistered(GObject* source, GAsyncResult* result, gpointer self);
  static void onVersion(GObject* source, GAsyncResult* result, gpointer self);
  void createSession();
  void listShortcuts();
  void bindShortcuts();
  void request(const char* method, GVariant* parameters, const std::string& token, Answer answer);
  void takeTriggers(GVariant* results);
  void takeTriggerList(GVariant* list);
  bool allBound() const;
  void finish(State state, const std::string& line);
  void onSignal(const char* member, GVariant* parameters);
  void watchPortal();
  void gone(const std::string& line);
  void lost();
  void waitFor(guint seconds, const char* what);
  void releaseHeld();
  GVariant* shortcutList() const;

  GObjectPtr<GDBusConnection> bus;
  GObjectPtr<GCancellable> cancel;
  std::string appId;
  std::vector<PortalShortcut> shortcuts;
  Listener listener;
  State current = State::Starting;
  guint32 version = 0;
  std::string session;
  std::map<std::string, std::string> triggers;
  std::vector<guint> subscriptions;
  std::unique_ptr<PortalRequest> pending;  // the one request in flight
  std::set<std::string> held;              // shortcut ids down now: released should the portal go away
  bool seen = false;                       // the portal's name has had an owner
  bool detached = false;                   // the portal went away or never answered: nothing it says counts now
  bool returning = false;                  // the portal left the bus: it is waited for, the last triggers still hold
  guint nameWatch = 0;
  guint answerTimeout = 0;
};

// The key's name for a preferred trigger, from its macOS virtual key code ("F8", "v"); empty if unknown.
std::string triggerForKey(std::uint16_t macKey);

}  // namespace qm::gtk
