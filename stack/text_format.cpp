#include "stack/text_format.h"

#include <cstdio>
#include <utility>

#include "interfaces/vorn_ids.h"

namespace stack {
namespace {

constexpr long kBytesShown = 32;

const char* KnownName(const GUID& guid) {
    static const std::pair<const GUID*, const char*> kNames[] = {
        {&IID_IUnknown, "IID_IUnknown"},
        {&IID_IClassFactory, "IID_IClassFactory"},
        {&IID_IMarshal, "IID_IMarshal"},
        {&IID_IVELDO_ProtocolComms, "IID_IVELDO_ProtocolComms"},
        {&IID_IVELDO_RuntimeInformation, "IID_IVELDO_RuntimeInformation"},
        {&IID_IVELDO_DeviceInfo, "IID_IVELDO_DeviceInfo"},
        {&IID_IVELDO_ReceiveMessage, "IID_IVELDO_ReceiveMessage"},
        {&IID_IVELDO_ProtocolMessage, "IID_IVELDO_ProtocolMessage"},
        {&IID_IVELDO_NetworkMessage, "IID_IVELDO_NetworkMessage"},
        {&IID_IVELDO_StackServices, "IID_IVELDO_StackServices"},
        {&IID_IVELDO_NetworkComms, "IID_IVELDO_NetworkComms"},
        {&IID_IVELDO_ConfigurationSource, "IID_IVELDO_ConfigurationSource"},
        {&IID_IVELDO_MessageSink, "IID_IVELDO_MessageSink"},
        {&IID_IVELDO_ComponentCatalog, "IID_IVELDO_ComponentCatalog"},
        {&CLSID_VORNProtocol, "CLSID_VORNProtocol"},
        {&CLSID_ProtocolMessage, "CLSID_ProtocolMessage"},
        {&CLSID_NetworkMessage, "CLSID_NetworkMessage"},
        {&CLSID_StackServices, "CLSID_StackServices"},
        {&CLSID_ComponentCatalog, "CLSID_ComponentCatalog"},
        {&CLSID_DeviceInfo, "CLSID_DeviceInfo"},
    };
    for (const auto& [id, name] : kNames) {
        if (IsEqualGUID(*id, guid)) return name;
    }
    return nullptr;
}

}  // namespace

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::string FormatGuid(const GUID& guid) {
    const char* name = KnownName(guid);
    return name != nullptr ? std::string(name) : GuidText(guid);
}

std::string FormatPointer(const void* pointer) {
    if (pointer == nullptr) return "null";
    char text[24];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

std::string FormatBytes(long size, const BYTE* bytes) {
    if (bytes == nullptr) return "null";
    std::string text;
    const long shown = size < kBytesShown ? size : kBytesShown;
    for (long i = 0; i < shown; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += hex;
    }
    if (size > shown) text += " ...(+" + std::to_string(size - shown) + ")";
    return text;
}

std::string DescribeBlock(long size, const BYTE* bytes) {
    return "size=" + std::to_string(size) + " data=" + FormatBytes(size, bytes);
}

std::string NarrowText(const WCHAR* text) {
    if (text == nullptr) return "null";
    std::string narrow;
    for (const WCHAR* c = text; *c != 0; ++c) {
        narrow += (*c >= 0x20 && *c < 0x7F) ? static_cast<char>(*c) : '?';
    }
    return narrow;
}

}  // namespace stack
