#include <algorithm>
#include <initializer_list>
#include <regex>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/rect_text.h"

namespace qm {
namespace {

std::optional<double> numberIn(const std::optional<nlohmann::json>& value) {
  if (value && value->is_number()) return value->get<double>();
  return std::nullopt;
}

// The floating panels float above every window, a dialog of ours included: while one is up, the panels
// that showed step aside, and come back once it is answered.
class PanelsAside {
 public:
  explicit PanelsAside(std::initializer_list<Window*> panels) {
    for (Window* panel : panels)
      if (panel && panel->visible()) aside.push_back(panel);
    for (Window* panel : aside) panel->hide();
  }
  ~PanelsAside() {
    for (Window* panel : aside) panel->showWithoutActivating();
  }
  PanelsAside(const PanelsAside&) = delete;
  PanelsAside& operator=(const PanelsAside&) = delete;

 private:
  std::vector<Window*> aside;
};

}  // namespace

void App::showOverlay() {
  if (!overlay) {
    Rect v = mainScreenVisibleFrame();
    auto saved = defaults.get("overlayFrame");
    Rect frame = rectFromString(saved && saved->is_string() ? saved->get<std::string>() : "");
    WindowOptions options;
    options.kind = WindowKind::Overlay;
    options.rect = frame.w > 500 ? frame : Rect{v.maxX() - 920, v.midY() - 300, 900, 600};
    options.cornerRadius = 26;
    overlay = platform.desktop.makeWindow(options, nullptr);
    overlay->setAlpha(numberIn(defaults.get("opacity")).value_or(0.94));
    overlayWeb = makeWeb();
    overlay->setContent(*overlayWeb);
    loadOverlay();
  }
  if (bubble) bubble->hide();
  overlay->showWithoutActivating();
}

std::shared_ptr<void> App::panelsAside() {
  return std::make_shared<PanelsAside>(std::initializer_list<Window*>{overlay.get(), bubble.get()});
}

int App::runAside(ModalAlert& alert, bool inFront) {
  int answer = 0;
  {
    PanelsAside aside{overlay.get(), bubble.get()};
    // Asked once the panels have stepped aside: one that had the keyboard gave it back to the game as it hid.
    if (inFront) {
      alert.returnKeyboardTo(platform.desktop.keyboardOwner());
      platform.desktop.activate();
    }
    ++dialogsUp;
    answer = alert.run();
    --dialogsUp;
  }
  if (dialogsUp == 0 && std::exchange(mainAfterDialogs, false)) showMain();
  return answer;
}

// A dialog the player must answer now (the page waits for it, the MDT has stepped aside) comes to the front with the
// keyboard, over a full-screen game too; the keyboard goes back where it was (the game, mostly) as it closes.
int App::runInFront(ModalAlert& alert) { return runAside(alert, true); }

void App::showMainAfterDialogs() {
  if (dialogsUp > 0)
    mainAfterDialogs = true;
  else
    showMain();
}

void App::loadOverlay() {
  if (overlayWeb) overlayWeb->load(dashboardURL("mdt"), kLoadTimeout);
}

void App::toggleOverlay() {
  if ((overlay && overlay->visible()) || (bubble && bubble->visible())) {
    if (overlay) overlay->hide();
    if (bubble) bubble->hide();
    return;
  }
  showOverlay();
}

void App::rememberGuildFromURL() {
  auto url = web ? web->url() : std::nullopt;
  if (!url) return;
  static const std::regex route("#/g/(\\d{5,25})/");
  std::smatch match;
  if (!std::regex_search(*url, match, route)) return;
  std::string id = match.str(1);
  if (guild() == id) return;
  setGuild(id);
  if (overlay && overlay->visible()) loadOverlay();
}

void App::setSize(const nlohmann::json& represented) {
  if (!overlay || !represented.is_array() || represented.size() < 2 || !represented[0].is_number() ||
      !represented[1].is_number())
    return;
  double w = represented[0].get<double>(), h = represented[1].get<double>();
  Rect old = overlay->frame();
  // The left and top edges stay, unless the panel would leave its screen: then it moves back onto it.
  Rect v = overlay->screenVisibleFrame().value_or(mainScreenVisibleFrame());
  Rect next{old.x, old.y + old.h - h, w, h};
  next.x = std::max(v.x, std::min(next.x, v.maxX() - w));
  next.y = std::min(v.y + v.h - h, std::max(next.y, v.y));
  overlay->setFrame(next);
  if (overlay->knowsPosition()) defaults.set("overlayFrame", stringFromRect(next));
}

void App::setOpacity(const nlohmann::json& represented) {
  double value = represented.is_number() ? represented.get<double>() : 1.0;
  if (overlay) overlay->setAlpha(value);
  defaults.set("opacity", value);
}

}  // namespace qm
