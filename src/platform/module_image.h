// What an in-process server needs to know about its own image: its handle, the full path of its
// file, its resources, and its DllMain being called at process attach and detach on both
// targets.
//
//   extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) { ... }
//   VORN_MODULE_MAIN(DllMain)                  // Linux: called at load and unload
//   STDAPI VORN_MODULE_EXPORT DllCanUnloadNow() { ... }
//
// Windows: the loader calls DllMain and the .def file exports the entry points. Linux: the
// shared object's static object made by VORN_MODULE_MAIN calls DllMain with DLL_PROCESS_ATTACH
// when it is constructed at load and with DLL_PROCESS_DETACH when it is destroyed at unload or
// exit. The trace facility's static objects are constructed ahead of every unprioritised static
// object of the module (trace_state.cpp), so attach runs after them and detach before their
// destruction, in the order the Windows loader gives.
#pragma once

#include <optional>
#include <string_view>

#include "platform/com.h"

#if defined(_WIN32)
#define VORN_MODULE_EXPORT
#define VORN_MODULE_MAIN(function)
#else
#define VORN_MODULE_EXPORT __attribute__((visibility("default")))
#define VORN_MODULE_MAIN(function)                                                            \
    namespace {                                                                               \
    [[maybe_unused]] const ::platform::ModuleMainCaller vornModuleMain{                       \
        ::platform::ModuleOfAddress(reinterpret_cast<const void*>(&(function))), (function)}; \
    }
#endif

namespace platform {

// The module's instance handle: the HINSTANCE on Windows, the load address on Linux.
using ModuleHandle = HINSTANCE;

// The module whose image holds `address`; null if none does.
ModuleHandle ModuleOfAddress(const void* address) noexcept;

// Full path of the module's file, or empty when it cannot be found.
WideString ModuleFileName(ModuleHandle module);

// A resource of the module, e.g. FindModuleResource(module, WIDE("REGISTRY"), 101); the view
// stays valid while the module is loaded. Nothing on Linux, whose shared objects carry no
// resource section (modules compile their resources in there).
std::optional<std::string_view> FindModuleResource(ModuleHandle module, const WCHAR* type, int id);

// No thread attach and detach notifications for the module (Windows; nothing to do on Linux).
void DisableThreadNotifications(ModuleHandle module) noexcept;

// See VORN_MODULE_MAIN.
class ModuleMainCaller {
public:
    using Main = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
    ModuleMainCaller(ModuleHandle module, Main main) noexcept : module_(module), main_(main) {
        main_(module_, DLL_PROCESS_ATTACH, nullptr);
    }
    ~ModuleMainCaller() { main_(module_, DLL_PROCESS_DETACH, nullptr); }
    ModuleMainCaller(const ModuleMainCaller&) = delete;
    ModuleMainCaller& operator=(const ModuleMainCaller&) = delete;

private:
    ModuleHandle module_;
    Main main_;
};

}  // namespace platform
