// The category entry points: each hands its category, format and values to ZQMTraceV.
#include "trace/zqm_trace.h"

#include "trace/trace_state.h"

void zqm::detail::TraceText(const char* category, const char* text, ...) noexcept {
    va_list args;
    va_start(args, text);
    ZQMTraceV(category, text, args);
    va_end(args);
}

// The quick test comes first, so that a call while tracing is off costs no argument handling.
#define ZQM_DEFINE_TRACE_ENTRY_POINT(name, category) \
    void name(const char* format, ...) noexcept {    \
        if (!zqm::detail::QuickTraceOn()) return;    \
        va_list args;                                \
        va_start(args, format);                      \
        ZQMTraceV(category, format, args);           \
        va_end(args);                                \
    }

ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTrace, "")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceSO, "so")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceMO, "mo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceAO, "ao")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceXO, "xo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceRO, "ro")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceWO, "wo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceLO, "lo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceTO, "to")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceYO, "yo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceYD, "yd")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceCO, "co")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceZO, "zo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceUO, "uo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceP, "p")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceK, "k")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceError, "e")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceGO, "go")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceHO, "ho")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceJO, "jo")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceDollar, "$")
ZQM_DEFINE_TRACE_ENTRY_POINT(ZQMTraceQO, "qo")

#undef ZQM_DEFINE_TRACE_ENTRY_POINT

void ZQMTraceF(const char* format, ...) noexcept {
    if (!zqm::detail::QuickTraceOn()) return;
    // Two calls, each filtered and locked on its own: another thread's line may fall between.
    zqm::detail::TraceText("f", "\n");
    va_list args;
    va_start(args, format);
    ZQMTraceV("f", format, args);
    va_end(args);
}
