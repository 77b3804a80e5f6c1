// The COM runtime subset that the component, the device stack and the hosts use on Linux:
// the standard interfaces IUnknown, IClassFactory and IMarshal with their published
// identifiers, task memory, class-object registration and creation, and the free-threaded
// marshaler. The functions live in one shared library (libvorn_com.so), so that a host, the
// stack and the component share one class table and one task allocator, as with ole32 on
// Windows. Include platform/com.h, not this file.
#pragma once

#include "platform/posix/win_types.h"

#if defined(VORN_COM_BUILDING)
#define VORN_COM_API __attribute__((visibility("default")))
#else
#define VORN_COM_API
#endif

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

// Streams do not exist on this platform; IMarshal names the type only.
struct IStream;

struct IMarshal : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID riid, void* pv, DWORD dwDestContext,
                                                        void* pvDestContext, DWORD mshlflags,
                                                        CLSID* pCid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID riid, void* pv, DWORD dwDestContext,
                                                        void* pvDestContext, DWORD mshlflags,
                                                        DWORD* pSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE MarshalInterface(IStream* pStm, REFIID riid, void* pv,
                                                       DWORD dwDestContext, void* pvDestContext,
                                                       DWORD mshlflags) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream* pStm, REFIID riid,
                                                         void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream* pStm) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD dwReserved) = 0;
};

// Published identifiers of the standard interfaces and classes.
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000,
                                       {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IMarshal{0x00000003, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000,
                                   {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr CLSID CLSID_InProcFreeMarshaler{0x0000033A, 0x0000, 0x0000,
                                                 {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

extern "C" {

// Task memory: blocks handed across interfaces, freed by their receiver.
VORN_COM_API void* CoTaskMemAlloc(SIZE_T cb);
VORN_COM_API void* CoTaskMemRealloc(void* pv, SIZE_T cb);
VORN_COM_API void CoTaskMemFree(void* pv);

// Per-thread initialisation. There are no apartments on this platform: every thread sees
// the one process-wide class table, so initialisation only counts nesting.
VORN_COM_API HRESULT CoInitialize(void* pvReserved);
VORN_COM_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
VORN_COM_API void CoUninitialize();

// Class objects registered in the process, looked up before anything else; then, for the
// in-process contexts, the server that the registry names under CLSID\{...}\InprocServer32
// (platform/posix/registry_store.h).
VORN_COM_API HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext,
                                           DWORD flags, DWORD* lpdwRegister);
VORN_COM_API HRESULT CoRevokeClassObject(DWORD dwRegister);
VORN_COM_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved,
                                      REFIID riid, void** ppv);
VORN_COM_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                      REFIID riid, void** ppv);
// In-process servers that the registry named are loaded on first use and stay loaded; this
// unloads every one whose DllCanUnloadNow says S_OK.
VORN_COM_API void CoFreeUnusedLibraries();

VORN_COM_API HRESULT CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal);

// Identifier text in registry form: braces, hyphens, upper-case hexadecimal (38 characters).
VORN_COM_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
VORN_COM_API HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);

// Test hooks of this runtime (no Windows counterpart; tests there use IMallocSpy).
// Number of task-memory blocks allocated and not yet freed.
VORN_COM_API long VornTaskMemOutstanding();
// Number of CoTaskMemFree calls on a pointer that is not a live block (double or foreign
// frees); such a call is refused instead of corrupting the heap.
VORN_COM_API long VornTaskMemBadFrees();
// The n-th task-memory allocation from now (1 = the next) fails; 0 switches this off.
VORN_COM_API void VornTaskMemFailAllocation(long n);

}  // extern "C"
