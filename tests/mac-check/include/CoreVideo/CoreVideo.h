// CoreVideo's buffer types (developer.apple.com/documentation/corevideo).
#pragma once

typedef struct __CVBuffer* CVImageBufferRef;
typedef CVImageBufferRef CVPixelBufferRef;
