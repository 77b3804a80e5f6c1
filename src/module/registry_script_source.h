// Where the module's registry script (VELDO_VORNProtocol.rgs) comes from: on Windows the
// module's resource REGISTRY 101, on Linux the text compiled into the shared object. The build
// picks the implementation (registry_script_resource.cpp or the generated
// registry_script_embedded.cpp).
#pragma once

#include <optional>

#include "platform/com.h"
#include "platform/module_image.h"

namespace module {

inline constexpr int kRegistryScriptId = 101;

// The script as wide text, or nothing when the module has none.
std::optional<platform::WideString> LoadRegistryScript(platform::ModuleHandle module);

}  // namespace module
