// A launched or unlaunched App over the fake platform.
#pragma once

#include <gtest/gtest.h>

#include "app/app.h"
#include "tests/fake/fake_platform.h"

namespace qm::test {

struct Harness {
  Harness() {
    setGlobals("1.0.0");
    app = std::make_shared<App>(fakes.platform());
  }
  void launch() { app->applicationDidFinishLaunching(); }
  fake::FakeWebView& mainView() { return *fakes.web.views.at(0); }
  fake::FakeWindow& mainWindow() { return *fakes.desktop.windows.at(0); }
  fake::FakeWindow* windowOf(WindowKind kind) {
    for (auto* w : fakes.desktop.windows)
      if (w->spec.kind == kind) return w;
    return nullptr;
  }
  std::string log() { return fakes.files.files[fakes.files.logPath()]; }

  fake::FakePlatform fakes;
  std::shared_ptr<App> app;
};

}  // namespace qm::test
