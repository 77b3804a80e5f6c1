// VORN_PRINTF_FORMAT(f, a) marks a function as printf-like, so the compiler checks every call's
// arguments against its format: f is the format's parameter position, a that of the first value
// (0 for a va_list). On MinGW the C++ runtime uses the C99-conforming printf family, which the
// "gnu_printf" archetype describes; the plain one would check against the old Microsoft rules.
//
//   void Log(const char* format, ...) VORN_PRINTF_FORMAT(1, 2);
#pragma once

#if defined(__clang__)
#define VORN_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#elif defined(__GNUC__)
#define VORN_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define VORN_PRINTF_FORMAT(f, a)
#endif
