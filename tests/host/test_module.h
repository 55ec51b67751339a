// What the loader's tests and the tiny test module agree on.
#pragma once

#include "vesk/com.h"

// The one class the test module serves: {7C0B6E52-4D1A-4E0F-9B8E-2F5A6C3D1E90}
constexpr CLSID kTestModuleClass = {0x7C0B6E52, 0x4D1A, 0x4E0F, {0x9B, 0x8E, 0x2F, 0x5A, 0x6C, 0x3D, 0x1E, 0x90}};
