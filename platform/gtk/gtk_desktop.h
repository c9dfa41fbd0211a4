// The desktop on GTK 3, on X11 and on Wayland sessions (through XWayland, or GDK's Wayland backend):
// monitors, pointer, menu bar and status menu, dialogs, timers, idle hand-off.
#pragma once

#include <gtk/gtk.h>

#include <list>
#include <memory>
#include <set>
#include <vector>

#include "platform/desktop.h"
#include "platform/gtk/gtk_window.h"
#include "platform/gtk/session.h"
#include "platform/gtk/session_keys.h"

namespace qm::gtk {

class GtkAlert;

class GtkDesktop : public Desktop {
 public:
  using Note = std::function<void(const std::string&)>;
  GtkDesktop(GtkApplication* app, SessionKind session, Note note);
  void noteSession();  // one log line: the session found at start
  ~GtkDesktop() override;

  std::vector<Screen> screens() const override;
  Point mouseLocation() const override;
  bool leftButtonDown() const override;
  std::chrono::system_clock::time_point now() const override { return std::chrono::system_clock::now(); }
  std::unique_ptr<Window> makeWindow(const WindowOptions& options, WindowDelegate* delegate) override;
  void setMainMenu(const std::vector<Menu>& menus) override;
  void setStatusMenu(const std::string& title, const std::vector<MenuItem>& items) override;
  std::shared_ptr<ModalAlert> makeAlert(const std::string& message, const std::string& informative,
                                        const std::vector<std::string>& buttons) override;
  void openPanel(bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) override;
  void savePanel(const std::string& suggestedName, std::function<void(std::optional<std::string>)> done) override;
  void openURL(const std::string& url) override;
  void activate() override;
  std::uint64_t keyboardOwner() const override;
  void terminate() override;  // closes a running alert first, so quitting never waits for an answer
  std::shared_ptr<Timer> scheduleRepeating(double seconds, std::function<void(Timer&)> tick) override;
  void postToMain(std::function<void()> work) override;
  bool keysTrusted(bool prompt) override;
  bool addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override;
  void addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) override;
  KeysHelp keysHelp() const override;
  bool keysLimited() const override;
  void offerShortcuts(const std::vector<Shortcut>& shortcuts, std::function<void()> changed) override;
  std::optional<std::string> shortcutTrigger(const std::string& action) const override;
  bool canChangeShortcuts() const override;
  void changeShortcuts() override;
  bool withoutXWayland() const override;
  System system() const override { return System::Linux; }
  bool compositing() const override;
  void onCompositingChanged(std::function<void()> changed) override;
  // The main window as a portal's dialogs name their parent ("x11:XID"), or empty.
  std::string portalParent() const;

 private:
  GtkWidget* buildMenu(const std::vector<MenuItem>& items, std::list<MenuItem>& keep, GtkAccelGroup* accel);
  void perform(const MenuItem& item);
  GtkWindow* keyboardWindow() const;
  void showStatusInMenuBar(const std::string& title, const std::vector<MenuItem>& items, std::list<MenuItem>& keep);
  GtkWindow* parentWindow() const;
  GtkWindow* shownMainWindow() const;

  GtkApplication* app;
  SessionKind session;
  Note note;
  SessionKeys keys;
  std::string iconFolder;                // the status icon's file for the panel, empty where it could not be written
  GtkWidget* menuBar = nullptr;          // the main window's, which lives as long as the program
  GtkWidget* statusInMenuBar = nullptr;  // the status menu there, where no panel shows status items
  std::vector<Menu> mainMenus;
  std::list<MenuItem> mainItems, statusItems;  // the menus' items, alive while shown
  GtkAppWindow* mainWindow = nullptr;
  std::set<GtkDialog*> runningAlerts;
  std::weak_ptr<GtkAlert> newestAlert;
  struct Indicator;
  std::unique_ptr<Indicator> indicator;
};

}  // namespace qm::gtk
