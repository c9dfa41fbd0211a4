// Security's default random generator (developer.apple.com/documentation/security/secrandomcopybytes(_:_:_:)).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "availability.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef const struct __SecRandom* SecRandomRef;

enum { errSecSuccess = 0 };

extern const SecRandomRef kSecRandomDefault API_AVAILABLE(macos(10.7));
int SecRandomCopyBytes(SecRandomRef rnd, size_t count, void* bytes) __attribute__((warn_unused_result))
API_AVAILABLE(macos(10.7));

#ifdef __cplusplus
}
#endif
