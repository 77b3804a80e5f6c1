// The process-wide class table of Linux: class objects that hosts and the device stack register
// with CoRegisterClassObject, and object creation through them.
#include <mutex>
#include <vector>

#include "platform/posix/com_api.h"
#include "platform/posix/class_lookup.h"

namespace {

struct RegisteredClass {
    DWORD cookie;
    CLSID clsid;
    DWORD context;
    IUnknown* classObject;  // counted reference, released by CoRevokeClassObject
};

struct ClassTable {
    std::mutex lock;
    std::vector<RegisteredClass> entries;  // guarded by lock
    DWORD nextCookie = 1;                  // guarded by lock
};

ClassTable& Table() {
    static ClassTable* table = new ClassTable;  // never destroyed: used until the process ends
    return *table;
}

// A counted reference to the class object registered for the class in one of the contexts.
IUnknown* FindRegisteredClassObject(REFCLSID clsid, DWORD context) {
    ClassTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const RegisteredClass& entry : table.entries) {
        if (IsEqualCLSID(entry.clsid, clsid) && (entry.context & context) != 0) {
            entry.classObject->AddRef();
            return entry.classObject;
        }
    }
    return nullptr;
}

}  // namespace

extern "C" {

HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext, DWORD,
                              DWORD* lpdwRegister) {
    if (lpdwRegister == nullptr || pUnk == nullptr) return E_INVALIDARG;
    *lpdwRegister = 0;
    pUnk->AddRef();
    ClassTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const DWORD cookie = table.nextCookie++;
    table.entries.push_back({cookie, rclsid, dwClsContext, pUnk});
    *lpdwRegister = cookie;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
    IUnknown* revoked = nullptr;
    {
        ClassTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
            if (it->cookie == dwRegister) {
                revoked = it->classObject;
                table.entries.erase(it);
                break;
            }
        }
    }
    if (revoked == nullptr) return CO_E_OBJNOTCONNECTED;
    revoked->Release();  // outside the table lock: the release may run arbitrary code
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IUnknown* classObject = FindRegisteredClassObject(rclsid, dwClsContext)) {
        const HRESULT hr = classObject->QueryInterface(riid, ppv);
        classObject->Release();
        return hr;
    }
    if ((dwClsContext & CLSCTX_INPROC) != 0) {
        return platform::posix::GetClassObjectFromRegistry(rclsid, riid, ppv);
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    const HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    const HRESULT created = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return created;
}

}  // extern "C"
