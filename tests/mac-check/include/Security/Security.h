// Security's default random generator (developer.apple.com/documentation/security/secrandomcopybytes(_:_:_:)).
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {

typedef const struct __SecRandom* SecRandomRef;

enum { errSecSuccess = 0 };

extern const SecRandomRef kSecRandomDefault;
int SecRandomCopyBytes(SecRandomRef rnd, size_t count, void* bytes) __attribute__((warn_unused_result));

}  // extern "C"
