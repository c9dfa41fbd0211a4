// Any text as an address: the service check, the browser hand-off and the navigation policy.
#include <cstdlib>

#include "tests/unit/harness.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qm::test::Launched launched;
  std::string url(reinterpret_cast<const char*>(data), size);
  bool in = launched.app->in(url);
  // Only an https address that reads as one can be the service's; only web addresses leave the app.
  if (in && (qm::schemeOf(url) != "https" || !qm::parseURL(url))) std::abort();
  launched.fakes.desktop.opened.clear();
  launched.app->decidePolicy(*launched.fakes.web.views.at(0), {url, qm::LinkActivated, true, true}, [](qm::Policy) {});
  launched.app->onPopup(*launched.fakes.web.views.at(0), url, qm::Other);
  for (const auto& opened : launched.fakes.desktop.opened)
    if (!qm::opensInBrowser(opened)) std::abort();
  launched.fakes.files.files.clear();
  return 0;
}
