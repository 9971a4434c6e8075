// Lets the compiler check printf-style calls against the C99 formats the library uses
// (%zu included), whichever C runtime the build targets. clang knows no gnu_printf; its printf
// check is the C99 one already.
#pragma once

#if defined(__clang__)
#define VP_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VP_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#endif
