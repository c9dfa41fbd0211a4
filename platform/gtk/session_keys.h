// Which global keys this session gives: XInput2 on X11; on Wayland the desktop's global shortcut portal, else
// XInput2 through XWayland (keys of X11 windows only).
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/gtk/portal/global_shortcuts.h"
#include "platform/gtk/session.h"

namespace qm::gtk {

class SessionKeys {
 public:
  using Note = std::function<void(const std::string&)>;
  SessionKeys(GApplication* app, SessionKind session, Note note);
  ~SessionKeys();
  SessionKeys(const SessionKeys&) = delete;
  SessionKeys& operator=(const SessionKeys&) = delete;

  bool trusted(bool prompt);
  bool limited() const;
  bool addGlobalMonitor(std::function<void(const KeyEvent&)> handler);
  void offer(const std::vector<Shortcut>& shortcuts, std::function<void()> changed);
  std::optional<std::string> trigger(const std::string& action) const;
  bool canChange() const;
  void change();
  KeysObstacle obstacle() const;

 private:
  void startPortal();
  bool portalReady() const;
  bool portalSettled() const;
  void onShortcut(const std::string& id, bool down);

  GApplication* app;
  SessionKind session;
  Note note;
  std::vector<Shortcut> offered;
  std::function<void()> shortcutsChanged;
  std::function<void(const KeyEvent&)> shortcutHandler;
  std::unique_ptr<PortalShortcuts> portal;
};

}  // namespace qm::gtk
