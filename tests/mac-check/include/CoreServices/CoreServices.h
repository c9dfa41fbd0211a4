// The Apple event codes of the get-URL event (developer.apple.com/documentation/coreservices).
#pragma once

#include <stdint.h>

typedef uint32_t FourCharCode;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;
typedef FourCharCode AEKeyword;

enum { kInternetEventClass = 'GURL', kAEGetURL = 'GURL' };
enum { keyDirectObject = '----' };
