#pragma once

// Marks a printf-style function so the compiler checks its calls. MinGW
// builds use the C99 printf of its own runtime (__USE_MINGW_ANSI_STDIO), so
// the checks must follow GNU's rules, not the Microsoft runtime's.
#if defined(__MINGW32__)
#define KV_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define KV_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif
