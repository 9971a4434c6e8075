// Marks the library's exported C surface.
#pragma once

#if defined(_WIN32)
#define VP_EXPORT __declspec(dllexport)
#else
#define VP_EXPORT __attribute__((visibility("default")))
#endif
