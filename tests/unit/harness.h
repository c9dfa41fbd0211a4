// A launched or unlaunched App over the fake platform.
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
  Harness() {
    app = std::make_shared<App>(fakes.platform());
  }
  void launch() { app->applicationDidFinishLaunching(); }
  fake::FakeWebView& mainView() { return *fakes.web.views.at(0); }
  fake::FakeWindow& mainWindow() { return *fakes.desktop.windows.at(0); }
  fake::FakeWindow* windowOf(WindowKind kind) {
    for (auto* w : fakes.desktop.windows)
      if (w->options.kind == kind) return w;
    return nullptr;
  }
  std::string log() { return fakes.files.files[fakes.files.logPath()]; }

  fake::FakePlatform fakes;
  std::shared_ptr<App> app;
};

}  // namespace qm::test
