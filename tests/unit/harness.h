// An App over the fake platform, before launch (Harness) or after it (Launched).
#pragma once

#include <gtest/gtest.h>

#include "app/app.h"
#include "tests/fake/fake_platform.h"

namespace qm::test {

// The globals are set once before any test runs, as the entry does before the app starts.
struct Globals : ::testing::Environment {
  void SetUp() override { setGlobals("1.0.0"); }
};
inline auto* const globals = ::testing::AddGlobalTestEnvironment(new Globals);

struct Harness {
  // A fuzz target runs no gtest environment.
  Harness() {
    if (VERSION.empty()) setGlobals("1.0.0");
  }
  void launch() {
    app->applicationDidFinishLaunching();
    if (auto then = std::exchange(mainWindow().afterDraw, nullptr)) then();
  }
  fake::FakeWebView& mainView() { return *fakes.web.views.at(0); }
  fake::FakeWebView& overlayView() { return *fakes.web.views.at(1); }
  fake::FakeWindow& mainWindow() { return *fakes.desktop.windows.at(0); }
  fake::FakeWindow* windowOf(WindowKind kind) {
    for (auto* w : fakes.desktop.windows)
      if (w->options.kind == kind) return w;
    return nullptr;
  }
  bool overlayShown() { return showing()[1] == 'O'; }
  // What shows: M the main window, O the overlay, B the bubble; - for each one hidden or not made.
  std::string showing() {
    std::string seen;
    for (auto kind : {WindowKind::Main, WindowKind::Overlay, WindowKind::Bubble})
      seen += windowOf(kind) && windowOf(kind)->visible() ? "MOB"[static_cast<int>(kind)] : '-';
    return seen;
  }
  std::string log() { return fakes.files.files[fakes.files.logPath()]; }
  // A message as the service's page in the top frame sends it.
  void message(WebView& from, const std::string& json) { app->onMessage(from, {true, SITE}, json); }

  fake::FakePlatform fakes;
  std::shared_ptr<App> app = std::make_shared<App>(fakes.platform());
};

struct Launched : Harness {
  explicit Launched(const std::map<std::string, nlohmann::json>& stored = {}, bool trusted = true) {
    fakes.settings.values = stored;
    fakes.desktop.trusted = trusted;
    launch();
  }
};

}  // namespace qm::test
