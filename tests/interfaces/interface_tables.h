// The C++ side of the layer's interface tables, taken from the declarations themselves: each
// method's vtable offset comes from its pointer to member and its parameter types from its
// signature, so the type-library test compares the IDL with what the compiler laid out rather
// than with a second hand-kept list.
//
// g++ uses the Itanium C++ ABI on both targets (mingw-w64 included): a pointer to a virtual
// member function holds 1 + the byte offset of its slot, followed by a this-adjustment.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "interfaces/layer_interfaces.h"

namespace interface_tables {

// How IDL spells each C++ parameter type (unknown types do not compile).
template <class T>
struct TypeText;
template <class T>
struct TypeText<T*> {
    static std::string Get() { return TypeText<T>::Get() + "*"; }
};
#define INTERFACE_TABLES_TYPE_TEXT(Type, Text)    \
    template <>                                   \
    struct TypeText<Type> {                       \
        static std::string Get() { return Text; } \
    }
INTERFACE_TABLES_TYPE_TEXT(LONG, "long");
INTERFACE_TABLES_TYPE_TEXT(ULONG, "unsigned long");
INTERFACE_TABLES_TYPE_TEXT(BYTE, "unsigned char");
INTERFACE_TABLES_TYPE_TEXT(LPWSTR, "LPWSTR");
INTERFACE_TABLES_TYPE_TEXT(GUID, "GUID");
INTERFACE_TABLES_TYPE_TEXT(IUnknown, "IUnknown");
INTERFACE_TABLES_TYPE_TEXT(_tagRetryMethod, "_tagRetryMethod");
INTERFACE_TABLES_TYPE_TEXT(IVELDO_DeviceInfo, "IVELDO_DeviceInfo");
INTERFACE_TABLES_TYPE_TEXT(IVELDO_ProtocolMessage, "IVELDO_ProtocolMessage");
INTERFACE_TABLES_TYPE_TEXT(IVELDO_NetworkMessage, "IVELDO_NetworkMessage");
#undef INTERFACE_TABLES_TYPE_TEXT

struct ItaniumMemberPointer {
    std::ptrdiff_t pointer;  // 1 + vtable byte offset for a virtual function
    std::ptrdiff_t adjustment;
};

// Byte offset of a virtual member's slot, or -1 when the member is not virtual.
template <class Member>
std::ptrdiff_t VtableOffset(Member member) {
    static_assert(sizeof(Member) == sizeof(ItaniumMemberPointer), "Itanium member pointer");
    ItaniumMemberPointer raw{};
    std::memcpy(&raw, &member, sizeof raw);
    if ((raw.pointer & 1) == 0 || raw.adjustment != 0) return -1;
    return raw.pointer - 1;
}

// A virtual function declared after everything the interface declares takes the slot right
// after its last one, so its offset is the size of the interface's whole table.
template <class Interface>
struct EndOfTableProbe : Interface {
    virtual void EndOfTable() = 0;
};
template <class Interface>
std::ptrdiff_t VtableSize() {
    return VtableOffset(&EndOfTableProbe<Interface>::EndOfTable);
}

struct Method {
    std::string name;
    std::ptrdiff_t vtableOffset;
    std::vector<std::string> parameterTypes;
};

template <class Interface, class Result, class... Parameters>
Method M(const char* name, Result (Interface::*member)(Parameters...)) {
    static_assert(std::is_same_v<Result, HRESULT>, "every operation returns an HRESULT");
    return {name, VtableOffset(member), {TypeText<Parameters>::Get()...}};
}

struct InterfaceTable {
    std::string name;
    IID iid;
    std::string baseName;
    std::ptrdiff_t baseVtableSize;
    std::ptrdiff_t vtableSize;
    bool inTypeLibrary;
    std::vector<Method> methods;  // the interface's own, in the order of its table
};

template <class Interface, class Base>
InterfaceTable Table(const char* name, const char* baseName, bool inTypeLibrary,
                     std::vector<Method> methods) {
    static_assert(std::is_base_of_v<Base, Interface>);
    return {name,
            platform::InterfaceId<Interface>::get(),
            baseName,
            VtableSize<Base>(),
            VtableSize<Interface>(),
            inTypeLibrary,
            std::move(methods)};
}

inline std::vector<InterfaceTable> LayerInterfaceTables() {
    using PC = IVELDO_ProtocolComms;
    using RI = IVELDO_RuntimeInformation;
    using DI = IVELDO_DeviceInfo;
    using RM = IVELDO_ReceiveMessage;
    using PM = IVELDO_ProtocolMessage;
    using NM = IVELDO_NetworkMessage;
    return {
        Table<PC, IUnknown>("IVELDO_ProtocolComms", "IUnknown", true,
                            {M("Initialise", &PC::Initialise), M("UnInitialise", &PC::UnInitialise),
                             M("Send", &PC::Send), M("Receive", &PC::Receive),
                             M("SamePhysicalTarget", &PC::SamePhysicalTarget)}),
        Table<RI, IUnknown>("IVELDO_RuntimeInformation", "IUnknown", false,
                            {M("GetRuntimeInformation", &RI::GetRuntimeInformation),
                             M("IsValidRuntimeConfiguration", &RI::IsValidRuntimeConfiguration),
                             M("ChangeRuntimeInformation", &RI::ChangeRuntimeInformation)}),
        Table<DI, IUnknown>(
            "IVELDO_DeviceInfo", "IUnknown", true,
            {M("GetStackCookie", &DI::GetStackCookie), M("SetCLSID", &DI::SetCLSID),
             M("GetCLSID", &DI::GetCLSID), M("RemoveCLSID", &DI::RemoveCLSID),
             M("SetUnknown", &DI::SetUnknown), M("GetUnknown", &DI::GetUnknown),
             M("RemoveUnknown", &DI::RemoveUnknown), M("SetUnknownShare", &DI::SetUnknownShare),
             M("RemoveUnknownShare", &DI::RemoveUnknownShare),
             M("GetUnknownShare", &DI::GetUnknownShare), M("SetManager", &DI::SetManager),
             M("GetManager", &DI::GetManager), M("RemoveManager", &DI::RemoveManager)}),
        Table<RM, IUnknown>(
            "IVELDO_ReceiveMessage", "IUnknown", true,
            {M("SetData", &RM::SetData), M("GetData", &RM::GetData),
             M("GetMessageID", &RM::GetMessageID), M("SetMessageID", &RM::SetMessageID),
             M("GetErrorCode", &RM::GetErrorCode), M("SetErrorCode", &RM::SetErrorCode)}),
        Table<PM, RM>(
            "IVELDO_ProtocolMessage", "IVELDO_ReceiveMessage", true,
            {M("SetSendData", &PM::SetSendData), M("GetSendData", &PM::GetSendData),
             M("SetDestinationAddress", &PM::SetDestinationAddress),
             M("GetDestinationAddress", &PM::GetDestinationAddress),
             M("SetCommandType", &PM::SetCommandType), M("GetCommandType", &PM::GetCommandType),
             M("SetExtraTimeoutValue", &PM::SetExtraTimeoutValue),
             M("GetExtraTimeoutValue", &PM::GetExtraTimeoutValue),
             M("SetResponseRequire", &PM::SetResponseRequire),
             M("GetResponseRequire", &PM::GetResponseRequire), M("SetReset", &PM::SetReset),
             M("GetReset", &PM::GetReset), M("SetReceiveData", &PM::SetReceiveData),
             M("GetReceiveData", &PM::GetReceiveData), M("SetRetryState", &PM::SetRetryState),
             M("GetRetryState", &PM::GetRetryState)}),
        Table<NM, RM>(
            "IVELDO_NetworkMessage", "IVELDO_ReceiveMessage", true,
            {M("SetTimeoutValue", &NM::SetTimeoutValue), M("GetTimeoutValue", &NM::GetTimeoutValue),
             M("SetResponseRequire", &NM::SetResponseRequire),
             M("GetResponseRequire", &NM::GetResponseRequire),
             M("SetSendOptions", &NM::SetSendOptions), M("GetSendOptions", &NM::GetSendOptions),
             M("SetReset", &NM::SetReset), M("GetReset", &NM::GetReset),
             M("SetRetryState", &NM::SetRetryState), M("GetRetryState", &NM::GetRetryState)}),
    };
}

}  // namespace interface_tables
