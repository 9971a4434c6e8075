// Lets the compiler check printf-style calls against the C99 formats the library uses
// (%zu included), whichever C runtime the build targets.
#pragma once

#define VP_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
