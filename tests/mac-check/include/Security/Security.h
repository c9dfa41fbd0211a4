// Security's default random generator (developer.apple.com/documentation/security/secrandomcopybytes(_:_:_:)).
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {

typedef const struct __SecRandom* SecRandomRef;

enum { errSecSuccess = 0 };

extern const SecRandomRef _Nullable kSecRandomDefault;
int SecRandomCopyBytes(SecRandomRef _Nullable rnd, size_t count, void* _Nonnull bytes)
    __attribute__((warn_unused_result));

}  // extern "C"
