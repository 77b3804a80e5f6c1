// CVORNProtocol, the VORN framing layer of a device stack. It takes commands from the layer
// above (Send), frames their data as VORN frames for the layer below, matches replies coming up
// from below (Receive) against the commands that wait for one, and delivers their data upward.
//
// The class implements IVELDO_ProtocolComms (its identity interface) and
// IVELDO_RuntimeInformation, and hands IMarshal to an aggregated free-threaded marshaler, so its
// interface pointers are used directly on any thread. It does not implement IUnknown itself:
// module::ComObject (plain) or module::ContainedObject (aggregated) completes it, and the
// class factory creates it through them (module/com_object.h).
//
// Threads: Send and Receive may run on any number of threads at once; Initialise and
// UnInitialise must not overlap each other or Send, SamePhysicalTarget and the runtime
// operations (the stack guarantees this). No lock of the object is held while it calls out.
#pragma once

#include <atomic>
#include <string>

#include "interfaces/stack_interfaces.h"
#include "platform/com_ptr.h"
#include "platform/critical_section.h"
#include "protocol/pending_request_table.h"
#include "protocol/sequence_id_registry.h"

class CVORNProtocol : public IVELDO_ProtocolComms, public IVELDO_RuntimeInformation {
public:
    // Acquires the process-wide sequence-id registry; throws std::bad_alloc if memory runs out,
    // which the creator turns into E_OUTOFMEMORY.
    CVORNProtocol();
    CVORNProtocol(const CVORNProtocol&) = delete;
    CVORNProtocol& operator=(const CVORNProtocol&) = delete;

    // The first interface table ends with this operation: the object itself, or the outer
    // object when it is aggregated. Declared before any other virtual function of the class.
    virtual IUnknown* GetControllingUnknown() = 0;

    // IVELDO_ProtocolComms
    HRESULT STDMETHODCALLTYPE Initialise(IVELDO_DeviceInfo* pInfo) override;
    HRESULT STDMETHODCALLTYPE UnInitialise() override;
    HRESULT STDMETHODCALLTYPE Send(IVELDO_ProtocolMessage* pMessage) override;
    HRESULT STDMETHODCALLTYPE Receive(IVELDO_NetworkMessage* pMessage) override;
    HRESULT STDMETHODCALLTYPE SamePhysicalTarget(LPWSTR prgConfig, LONG* pbSame) override;

    // IVELDO_RuntimeInformation
    HRESULT STDMETHODCALLTYPE GetRuntimeInformation(LPWSTR* pprgInformation) override;
    HRESULT STDMETHODCALLTYPE IsValidRuntimeConfiguration(LPWSTR prgConfig, LONG* pbValid) override;
    HRESULT STDMETHODCALLTYPE ChangeRuntimeInformation(LPWSTR prgConfig) override;

    // What module::ComObject and module::ContainedObject need to complete the class.
    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    IUnknown* GetRawUnknown() noexcept { return static_cast<IVELDO_ProtocolComms*>(this); }
    HRESULT FinalConstruct();
    void FinalRelease();

protected:
    // Destroyed only through the completing class, which is final.
    ~CVORNProtocol();

private:
    struct SendParameters;

    // The settings that one frame is built with, taken together under settingsLock so that a
    // concurrent ChangeRuntimeInformation never shows a frame half old and half new values.
    struct FrameSettings {
        BYTE dna;
        BYTE da1;
        BYTE da2;
        LONG tmo;
        LONG frame;
    };

    HRESULT InitialiseInternal(IVELDO_DeviceInfo* pInfo);
    HRESULT StoreDeviceSettings(const char* configurationText) EXCLUDES(settingsLock);
    HRESULT SendInternal(IVELDO_ProtocolMessage* pMessage);
    HRESULT GetSendParameters(IVELDO_ProtocolMessage* pMessage, LONG frameLimit,
                              SendParameters& parameters);
    FrameSettings SnapshotFrameSettings() EXCLUDES(settingsLock);
    HRESULT ReceiveInternal(IVELDO_NetworkMessage* pMessage);
    HRESULT SamePhysicalTargetInternal(LPWSTR prgConfig, LONG* pbSame);
    bool IsOwnTarget(const std::string& port, const std::string& network) EXCLUDES(settingsLock);
    // The lower layer's IVELDO_RuntimeInformation, or null when there is no lower layer or it
    // does not offer one.
    platform::ComPtr<IVELDO_RuntimeInformation> LowerRuntimeInformation() const;

    // 1 while the layer is attached and may send. Read by Receive on other threads.
    std::atomic<bool> initialised{false};

    // The seven settings; written by Initialise and ChangeRuntimeInformation.
    platform::CriticalSection settingsLock;
    BYTE dna GUARDED_BY(settingsLock) = 0;
    BYTE da1 GUARDED_BY(settingsLock) = 0;
    BYTE da2 GUARDED_BY(settingsLock) = 0;
    LONG tmo GUARDED_BY(settingsLock) = 0;
    LONG frame GUARDED_BY(settingsLock) = 0;
    std::string portName GUARDED_BY(settingsLock);
    std::string networkName GUARDED_BY(settingsLock);

    SequenceIdRegistry* sequenceIds = nullptr;  // valid for the whole life of the object
    PendingRequestTable pendingRequests;        // guards itself (tableLock)

    platform::ComPtr<IVELDO_StackServices> stackServices;  // FinalConstruct until FinalRelease
    platform::ComPtr<IUnknown> marshaler;                  // FinalConstruct until FinalRelease
    // Registration results: written by Initialise, cleared by UnInitialise; not locked (the
    // stack does not overlap them with the operations that read them).
    IVELDO_NetworkComms* lowerLayer = nullptr;  // not counted: valid until UnregisterLayer
    platform::ComPtr<IVELDO_DeviceInfo> deviceInfo;
    ULONG layerCookie = 0;
    GUID stackCookie{};
};
