// The Apple event codes of the get-URL event (developer.apple.com/documentation/coreservices).
#pragma once

#include <stdint.h>

typedef uint32_t AEEventClass;
typedef uint32_t AEEventID;
typedef uint32_t AEKeyword;

enum { kInternetEventClass = 'GURL', kAEGetURL = 'GURL' };
enum { keyDirectObject = '----' };
