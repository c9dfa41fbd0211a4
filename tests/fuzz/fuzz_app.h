// A launched App over the fake platform, for the fuzz targets that feed it outside input.
#pragma once

#include <memory>

#include "app/app.h"
#include "tests/fake/fake_platform.h"

namespace qm::fuzz {

struct LaunchedApp {
  LaunchedApp() {
    if (VERSION.empty()) setGlobals("1.0.0");
    app->applicationDidFinishLaunching();
  }
  fake::FakePlatform fakes;
  std::shared_ptr<App> app = std::make_shared<App>(fakes.platform());
};

}  // namespace qm::fuzz
