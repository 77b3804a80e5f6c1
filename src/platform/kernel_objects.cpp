// The parts of the named kernel objects that are the same on every platform.
#include <cstdlib>

#include "platform/kernel_objects.h"

namespace platform {

std::string KernelObjectName(std::string_view name, std::string_view kernelNamespace) {
    if (kernelNamespace.empty()) return std::string(name);
    std::string result;
    result.reserve(kernelNamespace.size() + 1 + name.size());
    for (char c : kernelNamespace) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        result.push_back(plain ? c : '_');
    }
    result.push_back('.');
    result.append(name);
    return result;
}

std::string KernelObjectName(std::string_view name) {
    const char* kernelNamespace = std::getenv("VORN_KERNEL_NAMESPACE");
    return KernelObjectName(name,
                            kernelNamespace == nullptr ? std::string_view{} : kernelNamespace);
}

SharedMapping& SharedMapping::operator=(SharedMapping&& other) noexcept {
    if (this != &other) {
        Close();
        view_ = std::move(other.view_);
        handle_ = std::move(other.handle_);
        removeOnClose_ = std::exchange(other.removeOnClose_, std::string{});
        existed_ = std::exchange(other.existed_, false);
    }
    return *this;
}

}  // namespace platform
