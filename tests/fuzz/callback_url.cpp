// Addresses the system hands the app as sign-in callbacks.
#include "tests/unit/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::test::Launched launched({{"signinVerifier", std::string(64, 'b')}});
  launched.app->onURL(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
