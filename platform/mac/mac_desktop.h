// The desktop on AppKit, macOS 12.0 or later: screens, pointer, the main menu and the "QM" status item,
// alerts, the open panel, timers, the main dispatch queue, NSEvent key monitors and Accessibility trust.
#pragma once

#include <memory>

#include "platform/desktop.h"

namespace qm::mac {

class MacDesktop : public Desktop {
 public:
  MacDesktop();
  ~MacDesktop() override;
  MacDesktop(const MacDesktop&) = delete;
  MacDesktop& operator=(const MacDesktop&) = delete;

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
  std::uint64_t keyboardOwner() const override;  // the frontmost application's process id
  void terminate() override;
  std::shared_ptr<Timer> scheduleRepeating(double seconds, std::function<void(Timer&)> tick) override;
  void postToMain(std::function<void()> work) override;
  bool keysTrusted(bool prompt) override;
  bool addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override;
  void addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) override;
  KeysHelp keysHelp() const override;
  System system() const override { return System::Mac; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace qm::mac
