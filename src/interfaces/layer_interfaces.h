// The layer contract of the device stack and its message model: the interfaces that every
// layer implements or exchanges. Operations are declared in the order of each interface's
// table; that order is part of the contract (the type library describes the same tables).
//
// Memory across these interfaces: a block or string handed back through an out-parameter is
// COM task memory owned by the caller, who frees it with CoTaskMemFree; a block passed in stays
// the caller's, and a callee that keeps the data copies it. A flag of type LONG counts as true
// only when it equals 1.
#pragma once

#include "interfaces/vorn_ids.h"
#include "platform/com_ptr.h"

// How the lower layers may retry a message. This layer never interprets it.
enum _tagRetryMethod {
    rm_NONE = 0,
    rm_CHECKSUMONLY = 1,
    rm_TIMEOUTONLY = 2,
    rm_BOTH = 3,
};
static_assert(sizeof(_tagRetryMethod) == 4, "a 32-bit enumeration");

struct IVELDO_DeviceInfo;
struct IVELDO_ProtocolMessage;
struct IVELDO_NetworkMessage;

// The layer contract: what every layer offers the layer above it. It is the identity interface
// of a layer object.
struct IVELDO_ProtocolComms : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialise(IVELDO_DeviceInfo* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnInitialise() = 0;
    virtual HRESULT STDMETHODCALLTYPE Send(IVELDO_ProtocolMessage* pMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE Receive(IVELDO_NetworkMessage* pMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE SamePhysicalTarget(LPWSTR prgConfig, LONG* pbSame) = 0;
};

// Runtime settings of a running stack, as configuration text. Not in the type library.
struct IVELDO_RuntimeInformation : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeInformation(LPWSTR* pprgInformation) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsValidRuntimeConfiguration(LPWSTR prgConfig,
                                                                  LONG* pbValid) = 0;
    virtual HRESULT STDMETHODCALLTYPE ChangeRuntimeInformation(LPWSTR prgConfig) = 0;
};

// The device's information object, made by the stack and passed to Initialise.
struct IVELDO_DeviceInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetStackCookie(GUID* pguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCLSID(GUID* iid, GUID clsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCLSID(GUID* iid, GUID* pclsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveCLSID(GUID* iid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUnknown(GUID* iid, IUnknown* pUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUnknown(GUID* iid, IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveUnknown(GUID* iid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetUnknownShare(GUID* iid) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveUnknownShare(GUID* iid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUnknownShare(GUID* iid, LONG* plShares) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetManager(GUID clsid, IUnknown* ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetManager(GUID clsid, IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveManager(GUID clsid) = 0;
};

// The base of both message interfaces.
struct IVELDO_ReceiveMessage : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetData(LONG lDataBytes, BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(LONG* plDataBytes, BYTE** ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMessageID(ULONG* pdwMID) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMessageID(ULONG dwMID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetErrorCode(ULONG* pdwMainCode, ULONG* pdwSubCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetErrorCode(ULONG dwMainCode, ULONG dwSubCode) = 0;
};

// A command from the layer above, and the reply that goes back up.
struct IVELDO_ProtocolMessage : public IVELDO_ReceiveMessage {
    virtual HRESULT STDMETHODCALLTYPE SetSendData(LONG lSize, BYTE* pMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSendData(LONG* plSize, BYTE** ppMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDestinationAddress(LONG lSize, BYTE* pAddress) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDestinationAddress(LONG* plSize, BYTE** ppAddress) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCommandType(LPWSTR prgName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCommandType(LPWSTR* pprgName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetExtraTimeoutValue(LONG lTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExtraTimeoutValue(LONG* plTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetResponseRequire(LONG bRequire) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResponseRequire(LONG* pbRequire) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetReset(LONG bReset) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReset(LONG* bReset) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetReceiveData(LONG lSize, BYTE* pMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReceiveData(LONG* plSize, BYTE** ppMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRetryState(_tagRetryMethod RetryMethod) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRetryState(_tagRetryMethod* pRetryMethod) = 0;
};

// A frame travelling between a layer and the layer below it.
struct IVELDO_NetworkMessage : public IVELDO_ReceiveMessage {
    virtual HRESULT STDMETHODCALLTYPE SetTimeoutValue(LONG lTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimeoutValue(LONG* plTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetResponseRequire(LONG bRequire) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResponseRequire(LONG* pbRequire) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSendOptions(LONG lDataBytes, BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSendOptions(LONG* plDataBytes, BYTE** ppData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetReset(LONG bReset) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReset(LONG* bReset) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRetryState(_tagRetryMethod RetryMethod) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRetryState(_tagRetryMethod* pRetryMethod) = 0;
};

VORN_DECLARE_INTERFACE_ID(IVELDO_ProtocolComms, IID_IVELDO_ProtocolComms);
VORN_DECLARE_INTERFACE_ID(IVELDO_RuntimeInformation, IID_IVELDO_RuntimeInformation);
VORN_DECLARE_INTERFACE_ID(IVELDO_DeviceInfo, IID_IVELDO_DeviceInfo);
VORN_DECLARE_INTERFACE_ID(IVELDO_ReceiveMessage, IID_IVELDO_ReceiveMessage);
VORN_DECLARE_INTERFACE_ID(IVELDO_ProtocolMessage, IID_IVELDO_ProtocolMessage);
VORN_DECLARE_INTERFACE_ID(IVELDO_NetworkMessage, IID_IVELDO_NetworkMessage);
