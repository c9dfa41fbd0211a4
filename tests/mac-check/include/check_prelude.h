// Forced first into every checked file. GCC's YES and NO are casts, which @YES cannot take; Apple's are literals.
#pragma once

#include <objc/objc.h>

#undef YES
#undef NO
#define YES __objc_yes
#define NO __objc_no

// Apple's nil is the null pointer constant, usable for any pointer, selector or block; GCC's is an id.
#undef nil
#undef Nil
#define nil nullptr
#define Nil nullptr
