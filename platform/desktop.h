// The desktop around the windows: screens, pointer, menus, alerts, timers, the main thread, keys, URLs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry.h"
#include "menu.h"
#include "window.h"

namespace qm {

struct Screen {
  Rect frame, visibleFrame;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
};

class ModalAlert {
 public:
  virtual ~ModalAlert() = default;
  virtual void setInformativeText(const std::string& text) = 0;
  // Runs modally; returns the index of the button that ended it (0 for the first).
  virtual int run() = 0;
  // The keyboard goes to `owner` (a Desktop::keyboardOwner()) as the alert closes, before it leaves the screen:
  // after, the desktop would give it to a window of its choosing.
  virtual void returnKeyboardTo(std::uint64_t owner) = 0;
  // It came without the player asking: keys meant for the game (Enter, Space) do not answer it; a click does, and
  // Esc says no.
  virtual void answerByClick() = 0;
};

enum class System { Mac, Linux };

enum class KeyType { Down, Up };

// The code of a key that has no macOS code (Print Screen, Pause, Scroll Lock): no binding names it.
inline constexpr std::uint16_t kNoKeyCode = 0xFFFF;

struct KeyEvent {
  std::uint16_t code = kNoKeyCode;  // macOS virtual key code (A is 0), or the shortcut's own code
  KeyType type = KeyType::Down;
  std::string shortcut = {};  // the action, when the desktop matched the key itself
  bool hasCode() const { return code != kNoKeyCode; }
};

// An action the desktop may bind itself (a shortcut service): its name, what it does, the user's key
// (its macOS code; none when the action is off).
struct Shortcut {
  std::string action, description;
  std::optional<std::uint16_t> key;
};

// What keeps global keys from the app: the system's permission, or a fact of this desktop the app explains.
enum class KeysObstacle { permission, noXInput2, portalStarting, portalRefused, noPortal, noPortalNoXWayland };

// Where global keys need the user: a settings page to open, or the obstacle the app explains itself.
struct KeysHelp {
  std::string url;
  KeysObstacle obstacle = KeysObstacle::permission;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual std::vector<Screen> screens() const = 0;  // the first is the main screen
  virtual Point mouseLocation() const = 0;
  virtual bool leftButtonDown() const = 0;
  virtual std::chrono::system_clock::time_point now() const = 0;

  virtual std::unique_ptr<Window> makeWindow(const WindowOptions& options, WindowDelegate* delegate) = 0;
  virtual void setMainMenu(const std::vector<Menu>& menus) = 0;
  virtual void setStatusMenu(const std::string& title, const std::vector<MenuItem>& items) = 0;
  virtual std::shared_ptr<ModalAlert> makeAlert(const std::string& message, const std::string& informative,
                                                const std::vector<std::string>& buttons) = 0;
  virtual void openPanel(bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) = 0;
  // A save dialog above every window of ours, the MDT too; the chosen file's path, or none.
  virtual void savePanel(const std::string& suggestedName, std::function<void(std::optional<std::string>)> done) = 0;
  virtual void openURL(const std::string& url) = 0;
  virtual void activate() = 0;
  // The window (of any application) that has the keyboard now, 0 for none or unknown.
  virtual std::uint64_t keyboardOwner() const { return 0; }
  virtual void terminate() = 0;

  virtual std::shared_ptr<Timer> scheduleRepeating(double seconds, std::function<void(Timer&)> tick) = 0;
  // Safe from any thread; the work runs later on the main thread.
  virtual void postToMain(std::function<void()> work) = 0;

  virtual bool keysTrusted(bool prompt) = 0;
  virtual bool addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) = 0;
  // The handler answers whether the event goes on to our window.
  virtual void addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) = 0;
  virtual KeysHelp keysHelp() const = 0;
  // Global keys work, but only while some windows have the focus: the help stays on offer.
  virtual bool keysLimited() const { return false; }

  // Desktops that bind keys themselves: the actions on offer (before the first trust check; `changed`
  // runs when the desktop's bindings change), the trigger it bound (empty: none), and its own dialog.
  virtual void offerShortcuts(const std::vector<Shortcut>&, std::function<void()>) {}
  virtual std::optional<std::string> shortcutTrigger(const std::string&) const { return std::nullopt; }
  virtual bool canChangeShortcuts() const { return false; }
  virtual void changeShortcuts() {}
  // A Wayland session without XWayland: no window of ours can float above a full-screen game.
  virtual bool withoutXWayland() const { return false; }
  virtual System system() const = 0;
  // Windows can be see-through: the screen has a compositing manager. `changed` runs when that changes.
  virtual bool compositing() const { return true; }
  virtual void onCompositingChanged(std::function<void()>) {}
};

}  // namespace qm
