// What a backend hands the core: one reference per seam.
#pragma once

#include "capture.h"
#include "desktop.h"
#include "files.h"
#include "services.h"
#include "settings.h"
#include "web_view.h"

namespace qm {

struct Platform {
  Settings& settings;
  Files& files;
  Desktop& desktop;
  WebContext& web;
  Crypto& crypto;
  Http& http;
  Capture& capture;
};

}  // namespace qm
