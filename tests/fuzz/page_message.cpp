// Page messages as a page could post them, through the bridge's dispatch and on to the main thread.
#include "tests/unit/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto body = nlohmann::json::parse(data, data + size, nullptr, false);
  if (body.is_discarded()) return 0;
  qm::test::Launched launched;
  launched.app->onMessage(*launched.fakes.web.views.at(0), body);
  if (launched.fakes.capture.listing) launched.fakes.capture.answerListing();
  launched.fakes.desktop.fireTimers();
  launched.fakes.desktop.runPosted();
  return 0;
}
