// The text of the facility's 16-bit result codes.
#include <string>

#include "trace/trace_state.h"
#include "trace/zqm_dump.h"

namespace {

constexpr const char* kComponents[] = {
    "ZQM_C_CORE         ", "ZQM_C_SESSION      ", "ZQM_C_ROUTING      ", "ZQM_C_SECURITY     ",
    "ZQM_C_SCHEDULER    ", "ZQM_C_DBMS         ", "ZQM_C_CONFIGURATOR ", "ZQM_C_TRANSLATOR   ",
    "ZQM_C_MANAGER      ", "ZQM_C_DRIVER       ", "ZQM_C_DEVICE       ",
};

constexpr const char* kCodes[] = {
    "ZQM_S_OK\n",
    "ZQM_S_CANCEL\n",
    "ZQM_S_FALSE\n",
    "ZQM_S_STOPPED\n",
    "ZQM_E_BUFFER_OVERFLOW\n",
    "ZQM_E_DUPLICATE_NAME\n",
    "ZQM_E_ERROR\n",
    "ZQM_E_INIT_FAIL\n",
    "ZQM_E_INVALID_ADDRESS\n",
    "ZQM_E_INVALID_COMMAND\n",
    "ZQM_E_INVALID_FILE\n",
    "ZQM_E_INVALID_MODE\n",
    "ZQM_E_INVALID_NAME\n",
    "ZQM_E_INVALID_PARM\n",
    "ZQM_E_INVALID_PLC\n",
    "ZQM_E_INVALID_PROJECT\n",
    "ZQM_E_INVALID_USER\n",
    "ZQM_E_INVALID_KEY\n",
    "ZQM_E_LOCKED\n",
    "ZQM_E_NO_NAME\n",
    "ZQM_E_NO_PLC\n",
    "ZQM_E_NO_PROJECT\n",
    "ZQM_E_NO_PERMISSION\n",
    "ZQM_E_NO_SERVICE\n",
    "ZQM_E_OPEN_PLC\n",
    "ZQM_E_OPEN_POINT\n",
    "ZQM_E_OPEN_USER\n",
    "ZQM_E_COMMS_FAILED\n",
    "ZQM_E_ABORTED\n",
    "ZQM_E_BUSY\n",
    "ZQM_E_LIMIT\n",
    "ZQM_E_ROUTING\n",
    "ZQM_E_INVALID_POINT\n",
    "ZQM_E_INVALID_SETUP\n",
    "ZQM_E_INVALID_CONFIG\n",
    "ZQM_E_INVALID_UNIT\n",
    "ZQM_E_INVALID_DATA\n",
};
static_assert(std::size(kComponents) == 11 && std::size(kCodes) == 37);

}  // namespace

void ZQMTraceResult(unsigned short code, ...) noexcept {
    // The further values are not read: no table text has a conversion that would consume one.
    if (!zqm::detail::QuickTraceOn()) return;
    try {
        std::string text = "   Result: ";
        text += (code & 0x8000u) != 0 ? "ZQM_ERROR   " : "ZQM_SUCCESS ";
        const unsigned component = (code >> 8) & 0x7Fu;
        if (component < std::size(kComponents)) text += kComponents[component];
        const unsigned value = code & 0xFFu;
        if (value < std::size(kCodes)) text += kCodes[value];
        zqm::detail::TraceText("f", text.c_str());
        zqm::detail::TraceText("f", "\n");
    } catch (...) {
        // Out of memory: no result line.
    }
}
