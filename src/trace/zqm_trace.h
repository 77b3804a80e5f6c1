// The trace front-end: printf-style entry points, each bound to a category, that write one line
// into the shared trace area when a trace viewer has created it, tracing is enabled and the
// viewer's filter text admits the category.
//
//   ZQMTraceJO("CVORNProtocol::SendInternal OUT\n");
//   ZQMTraceError("CVORNProtocol::Initialise failed 0x%08X\n", static_cast<unsigned>(hr));
//
// Filter rule: every character of the category, upper-cased, must occur in the filter text
// ("JO" admits "jo", not "so"); the empty category of ZQMTrace is always admitted. The filter
// also switches the line prefix on: "@" the executable's name, "I" the thread id, "N" the
// milliseconds of the high-resolution counter; the error category adds "ERROR: ". Callers end
// their texts with "\n"; none is added. Lines longer than ZQM_TRACE_MAX_LINE characters are
// dropped whole. Nothing is cached: a new filter takes effect on the next call.
//
// Tracing never fails and never throws; a call returns without effect when tracing is off. Any
// thread may trace at any time, also while it holds locks of its own.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/printf_format.h"
#include "trace/zqm_trace_area.h"

// The common writer of the entry points.
void ZQMTraceV(const char* category, const char* format, va_list args) noexcept
    VORN_PRINTF_FORMAT(2, 0);

// The filter test: true if the area is mapped and its filter text admits `category`.
bool ZQMTraceCategoryEnabled(const char* category) noexcept;

// The line prefix for the current filter: executable name, thread id, milliseconds, then ": "
// if any of them is present. Called with the in-process trace lock held (by the trace calls).
std::string ZQMTraceLinePrefix();

// Entry points by category; the filter must hold each letter of the category in upper case.
void ZQMTrace(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);        // always
void ZQMTraceSO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "so"
void ZQMTraceMO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "mo"
void ZQMTraceAO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "ao"
void ZQMTraceXO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "xo"
void ZQMTraceRO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "ro"
void ZQMTraceWO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "wo"
void ZQMTraceLO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "lo"
void ZQMTraceTO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "to"
void ZQMTraceYO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "yo"
void ZQMTraceYD(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "yd"
void ZQMTraceCO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "co"
void ZQMTraceZO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "zo"
void ZQMTraceUO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "uo"
void ZQMTraceP(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);       // "p"
void ZQMTraceK(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);       // "k"
void ZQMTraceError(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);   // "e", "ERROR: "
void ZQMTraceGO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "go"
void ZQMTraceHO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "ho"
void ZQMTraceJO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "jo"
void ZQMTraceDollar(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);  // "$"
void ZQMTraceQO(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);      // "qo"

// Category "f": two independent lines, first the prefix alone with "\n", then the text.
void ZQMTraceF(const char* format, ...) noexcept VORN_PRINTF_FORMAT(1, 2);
