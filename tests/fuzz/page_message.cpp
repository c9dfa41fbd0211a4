// Page messages as a page could post them, through the bridge's dispatch and on to the main thread.
#include "tests/unit/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::test::Launched launched;
  launched.message(*launched.fakes.web.views.at(0), std::string(reinterpret_cast<const char*>(data), size));
  if (launched.fakes.capture.listing) launched.fakes.capture.answerListing();
  launched.fakes.desktop.fireTimers();
  launched.fakes.desktop.runPosted();
  return 0;
}
