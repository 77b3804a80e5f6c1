// Classes found through the registry: CLSID\{...}\InprocServer32 names a shared object, which is
// loaded and asked through its DllGetClassObject, as Windows does with an in-process server. A
// loaded server stays loaded until CoFreeUnusedLibraries finds that its DllCanUnloadNow says S_OK.
#include <dlfcn.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/class_lookup.h"
#include "platform/posix/com_api.h"
#include "platform/posix/registry_store.h"

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT (*)();

struct LoadedServer {
    std::string path;
    void* handle;
    GetClassObjectFunction getClassObject;
    CanUnloadNowFunction canUnloadNow;  // null: never unloaded
};

// Held while a server is loaded, asked for a class object or unloaded, so that no server is
// unloaded while a call into it is being made. Recursive: a server's DllGetClassObject may
// create other classes through the registry.
struct ServerTable {
    std::recursive_mutex lock;
    std::vector<LoadedServer> servers;  // guarded by lock
};

ServerTable& Servers() {
    static ServerTable* table = new ServerTable;  // never destroyed: used until the process ends
    return *table;
}

// The shared object that the registry names for the class; empty when there is none.
HRESULT InprocServerPath(REFCLSID clsid, std::string& path) {
    OLECHAR text[39];
    if (StringFromGUID2(clsid, text, 39) == 0) return E_UNEXPECTED;
    std::string key = "CLSID\\";
    for (int i = 0; i < 38; ++i) key += static_cast<char>(text[i]);  // ASCII by construction
    key += "\\InprocServer32";

    platform::posix::RegistryTree tree;
    const HRESULT read = platform::posix::RegistryFile::Read(tree);
    if (FAILED(read)) return read;
    std::optional<std::string> value;
    const HRESULT queried = tree.QueryValue(key, "", value);
    if (FAILED(queried)) return queried;
    path = value.value_or(std::string());
    return S_OK;
}

template <class Function>
Function LookUp(void* handle, const char* name) {
    return reinterpret_cast<Function>(::dlsym(handle, name));
}

// The loaded server of that path, loading it if needed; null when it cannot be loaded or has
// no DllGetClassObject. Called under the table's lock.
const LoadedServer* LoadServer(ServerTable& table, const std::string& path, HRESULT& failure) {
    for (const LoadedServer& server : table.servers) {
        if (server.path == path) return &server;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        failure = CO_E_DLLNOTFOUND;
        return nullptr;
    }
    const auto getClassObject = LookUp<GetClassObjectFunction>(handle, "DllGetClassObject");
    if (getClassObject == nullptr) {
        ::dlclose(handle);
        failure = CO_E_ERRORINDLL;
        return nullptr;
    }
    table.servers.push_back(
        {path, handle, getClassObject, LookUp<CanUnloadNowFunction>(handle, "DllCanUnloadNow")});
    return &table.servers.back();
}

}  // namespace

namespace platform::posix {

HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    std::string path;
    const HRESULT found = InprocServerPath(clsid, path);
    if (FAILED(found)) return found;
    if (path.empty()) return REGDB_E_CLASSNOTREG;

    ServerTable& table = Servers();
    std::lock_guard<std::recursive_mutex> guard(table.lock);
    HRESULT failure = S_OK;
    const LoadedServer* server = LoadServer(table, path, failure);
    if (server == nullptr) return failure;
    // The table may grow during the call (the server may create classes itself).
    const GetClassObjectFunction getClassObject = server->getClassObject;
    return getClassObject(clsid, riid, ppv);
}

}  // namespace platform::posix

extern "C" void CoFreeUnusedLibraries() {
    ServerTable& table = Servers();
    std::lock_guard<std::recursive_mutex> guard(table.lock);
    std::vector<LoadedServer> kept;
    for (const LoadedServer& server : table.servers) {
        if (server.canUnloadNow != nullptr && server.canUnloadNow() == S_OK) {
            ::dlclose(server.handle);
        } else {
            kept.push_back(server);
        }
    }
    table.servers.swap(kept);
}
