// A module loaded into the process by path, released when the holder goes: LoadLibrary and
// GetProcAddress on Windows, dlopen and dlsym on Linux. Hosts and tests use it to load an
// in-process server and reach its entry points:
//
//   auto library = platform::DynamicLibrary::Load(path);
//   using CanUnloadNow = HRESULT(STDMETHODCALLTYPE*)();
//   auto canUnloadNow = library.Function<CanUnloadNow>("DllCanUnloadNow");
//   if (canUnloadNow != nullptr && canUnloadNow() == S_OK) library.Unload();
#pragma once

#include <string>
#include <utility>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() noexcept = default;
    DynamicLibrary(DynamicLibrary&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
        if (this != &other) {
            Unload();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary() { Unload(); }

    // Loads the module of that path ('/' separates on every platform); not valid() on failure.
    static DynamicLibrary Load(const std::string& path);
    // Whether a module of that path is loaded in the process, by anyone.
    static bool IsLoaded(const std::string& path);

    bool valid() const noexcept { return handle_ != nullptr; }

    // An exported function by name, or null.
    template <class Fn>
    Fn Function(const char* name) const {
        return reinterpret_cast<Fn>(Address(name));
    }
    // An exported function by ordinal (Windows; always null on Linux, which has no ordinals).
    template <class Fn>
    Fn FunctionAt(unsigned ordinal) const {
        return reinterpret_cast<Fn>(AddressAt(ordinal));
    }

    // Drops this holder's load; the module goes when nobody else holds it.
    void Unload() noexcept;

private:
    using AnyFunction = void (*)();
    AnyFunction Address(const char* name) const;
    AnyFunction AddressAt(unsigned ordinal) const;

    void* handle_ = nullptr;
};

}  // namespace platform
