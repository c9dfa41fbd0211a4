// The blocks runtime entry points GNUstep's headers expect (libBlocksRuntime's, as clang emits calls to).
#pragma once

extern "C" {
void* _Block_copy(const void* block);
void _Block_release(const void* block);
}  // extern "C"
