#include "platform/gtk/session_keys.h"

#include <algorithm>
#include <utility>

#include "platform/gtk/x11/key_monitor.h"

namespace qm::gtk {
namespace {

// Shortcut events carry codes of their own, apart from every key code.
constexpr std::uint16_t kShortcutCodes = 0xF000;

}  // namespace

SessionKeys::SessionKeys(GApplication* a, SessionKind kind, Note n) : app(a), session(kind), note(std::move(n)) {}

SessionKeys::~SessionKeys() = default;

// On Wayland the desktop's shortcuts; where it has none, XInput2 through XWayland still hears keys while an
// X11 window (a game player run on XWayland) has the focus.
bool SessionKeys::trusted(bool prompt) {
  if (session == SessionKind::X11) return globalKeysAvailable();
  if (prompt && !portal) startPortal();
  return portalReady() || (portalSettled() && globalKeysAvailable());
}

bool SessionKeys::limited() const { return session != SessionKind::X11 && !portalReady(); }

bool SessionKeys::portalReady() const { return portal && portal->state() == PortalShortcuts::State::Ready; }

bool SessionKeys::portalSettled() const { return portal && portal->state() != PortalShortcuts::State::Starting; }

bool SessionKeys::addGlobalMonitor(std::function<void(const KeyEvent&)> handler) {
  if (session == SessionKind::X11 || !portalReady()) return installGlobalKeyMonitor(std::move(handler));
  shortcutHandler = std::move(handler);
  return true;
}

void SessionKeys::offer(const std::vector<Shortcut>& shortcuts, std::function<void()> changed) {
  offered = shortcuts;
  shortcutsChanged = std::move(changed);
}

void SessionKeys::startPortal() {
  std::vector<PortalShortcut> list;
  for (const auto& s : offered) list.push_back({s.action, s.description, s.key ? triggerForKey(*s.key) : ""});
  PortalShortcuts::Listener listener{[this](const std::string& id, bool down) { onShortcut(id, down); },
                                     [this] {
                                       // A portal gone after it took the keys hands them on as though it had never been
                                       // there.
                                       if (shortcutHandler && portalSettled() && !portalReady())
                                         installGlobalKeyMonitor(std::exchange(shortcutHandler, nullptr));
                                       if (shortcutsChanged) shortcutsChanged();
                                     },
                                     note};
  portal = std::make_unique<PortalShortcuts>(g_application_get_dbus_connection(app), "app.quillmere.Quillmere",
                                             std::move(list), std::move(listener));
}

void SessionKeys::onShortcut(const std::string& id, bool down) {
  auto found = std::find_if(offered.begin(), offered.end(), [&](const Shortcut& s) { return s.action == id; });
  if (!shortcutHandler || found == offered.end()) return;
  auto code = static_cast<std::uint16_t>(kShortcutCodes + (found - offered.begin()));
  shortcutHandler({.code = code, .type = down ? KeyType::Down : KeyType::Up, .shortcut = id});
}

std::optional<std::string> SessionKeys::trigger(const std::string& action) const {
  return portal ? portal->trigger(action) : std::nullopt;
}

bool SessionKeys::canChange() const { return portal && portal->canConfigure(); }

void SessionKeys::change() {
  if (portal) portal->configure();
}

KeysObstacle SessionKeys::obstacle() const {
  if (session == SessionKind::X11) return KeysObstacle::noXInput2;
  switch (portal ? portal->state() : PortalShortcuts::State::Absent) {
    case PortalShortcuts::State::Starting: return KeysObstacle::portalStarting;
    case PortalShortcuts::State::Refused: return KeysObstacle::portalRefused;
    default: return session == SessionKind::WaylandOnly ? KeysObstacle::noPortalNoXWayland : KeysObstacle::noPortal;
  }
}

}  // namespace qm::gtk
