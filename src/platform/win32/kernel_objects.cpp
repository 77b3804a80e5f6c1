// Named kernel objects on Windows: file mapping, mutex and event objects of the session.
#include "platform/kernel_objects.h"

namespace platform {

namespace detail {

void ObjectHandleTraits::Close(HANDLE handle) noexcept {
    ::CloseHandle(handle);
}

void MappedViewTraits::Close(MappedView view) noexcept {
    ::UnmapViewOfFile(view.data);
}

}  // namespace detail

namespace {

using Handle = UniqueHandle<detail::ObjectHandleTraits>;
using View = UniqueHandle<detail::MappedViewTraits>;

// Kernel-object names are plain ASCII here, so widening is a character-by-character copy.
std::wstring WideName(const std::string& name) {
    return std::wstring(name.begin(), name.end());
}

View MapWhole(HANDLE mapping) noexcept {
    void* address = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (address == nullptr) return View{};
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(address, &region, sizeof(region)) == 0) {
        ::UnmapViewOfFile(address);
        return View{};
    }
    return View{detail::MappedView{static_cast<unsigned char*>(address), region.RegionSize}};
}

}  // namespace

// --- SharedMapping ---

SharedMapping SharedMapping::OpenExisting(const std::string& name) noexcept {
    SharedMapping mapping;
    try {
        mapping.handle_ = Handle{::OpenFileMappingW(FILE_MAP_WRITE, FALSE, WideName(name).c_str())};
    } catch (...) {
        return mapping;
    }
    if (mapping.handle_.valid()) mapping.view_ = MapWhole(mapping.handle_.get());
    return mapping;
}

SharedMapping SharedMapping::CreateOrOpen(const std::string& name, std::size_t size) noexcept {
    SharedMapping mapping;
    std::wstring wideName;
    try {
        wideName = WideName(name);
    } catch (...) {
        return mapping;
    }
    const auto size64 = static_cast<unsigned long long>(size);
    mapping.handle_ = Handle{::CreateFileMappingW(
        INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size64 >> 32),
        static_cast<DWORD>(size64 & 0xFFFFFFFFu), wideName.c_str())};
    if (!mapping.handle_.valid()) return mapping;
    mapping.existed_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
    mapping.view_ = MapWhole(mapping.handle_.get());
    // An existing mapping keeps the size its creator gave it.
    if (mapping.view_.valid() && mapping.size() < size) mapping.Close();
    return mapping;
}

void SharedMapping::Close() noexcept {
    view_.reset();
    handle_.reset();
    removeOnClose_.clear();
    existed_ = false;
}

// --- NamedMutex ---

NamedMutex NamedMutex::CreateOrOpen(const std::string& name) noexcept {
    NamedMutex mutex;
    try {
        mutex.object_ = Handle{::CreateMutexW(nullptr, FALSE, WideName(name).c_str())};
    } catch (...) {
    }
    return mutex;
}

bool NamedMutex::Acquire() noexcept {
    if (!object_.valid()) return false;
    const DWORD result = ::WaitForSingleObject(object_.get(), INFINITE);
    // WAIT_ABANDONED: the owner died holding it; it is ours now, like a released one.
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void NamedMutex::Release() noexcept {
    if (object_.valid()) ::ReleaseMutex(object_.get());
}

// --- NamedEvent ---

NamedEvent NamedEvent::CreateOrOpen(const std::string& name) noexcept {
    NamedEvent event;
    try {
        event.object_ = Handle{::CreateEventW(nullptr, FALSE, FALSE, WideName(name).c_str())};
    } catch (...) {
    }
    return event;
}

void NamedEvent::Signal() noexcept {
    if (object_.valid()) ::SetEvent(object_.get());
}

bool NamedEvent::Wait(std::chrono::milliseconds timeout) noexcept {
    if (!object_.valid()) return false;
    const auto count = timeout.count();
    const DWORD milliseconds =
        count <= 0 ? 0 : (count >= 0xFFFFFFFELL ? 0xFFFFFFFEu : static_cast<DWORD>(count));
    return ::WaitForSingleObject(object_.get(), milliseconds) == WAIT_OBJECT_0;
}

}  // namespace platform
