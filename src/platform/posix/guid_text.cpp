// Identifier text in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstdio>

#include "platform/posix/com_api.h"

namespace {

constexpr int kGuidTextLength = 38;

int HexValue(OLECHAR c) noexcept {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits starting at text[pos]; false when one is not a hex digit.
bool ReadHex(LPCOLESTR text, int pos, int digits, std::uint64_t& value) noexcept {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[pos + i]);
        if (v < 0) return false;
        value = (value << 4) | static_cast<std::uint64_t>(v);
    }
    return true;
}

}  // namespace

extern "C" {

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (lpsz == nullptr || cchMax < kGuidTextLength + 1) return 0;
    char narrow[kGuidTextLength + 1];
    std::snprintf(narrow, sizeof narrow, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  rguid.Data1, rguid.Data2, rguid.Data3, rguid.Data4[0], rguid.Data4[1],
                  rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6],
                  rguid.Data4[7]);
    for (int i = 0; i <= kGuidTextLength; ++i) lpsz[i] = static_cast<OLECHAR>(narrow[i]);
    return kGuidTextLength + 1;  // characters written, NUL included
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
    if (lpsz == nullptr || pclsid == nullptr) return E_INVALIDARG;
    for (int i = 0; i < kGuidTextLength; ++i) {
        if (lpsz[i] == 0) return CO_E_CLASSSTRING;
    }
    if (lpsz[kGuidTextLength] != 0 || lpsz[0] != u'{' || lpsz[9] != u'-' || lpsz[14] != u'-' ||
        lpsz[19] != u'-' || lpsz[24] != u'-' || lpsz[37] != u'}') {
        return CO_E_CLASSSTRING;
    }
    CLSID result{};
    std::uint64_t v = 0;
    if (!ReadHex(lpsz, 1, 8, v)) return CO_E_CLASSSTRING;
    result.Data1 = static_cast<std::uint32_t>(v);
    if (!ReadHex(lpsz, 10, 4, v)) return CO_E_CLASSSTRING;
    result.Data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(lpsz, 15, 4, v)) return CO_E_CLASSSTRING;
    result.Data3 = static_cast<std::uint16_t>(v);
    static constexpr int kBytePositions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(lpsz, kBytePositions[i], 2, v)) return CO_E_CLASSSTRING;
        result.Data4[i] = static_cast<std::uint8_t>(v);
    }
    *pclsid = result;
    return S_OK;
}

}  // extern "C"
