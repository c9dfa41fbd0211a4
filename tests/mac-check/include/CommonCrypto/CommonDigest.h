// CommonCrypto's SHA-256 (the CC_SHA256 man page; CryptoKit has no C or Objective-C interface).
#pragma once

#include <stdint.h>

extern "C" {

typedef uint32_t CC_LONG;

unsigned char* CC_SHA256(const void* data, CC_LONG len, unsigned char* md);

}  // extern "C"
