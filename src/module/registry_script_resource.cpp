// The registry script as a resource of the module.
#include "module/registry_script_source.h"
#include "platform/text.h"

namespace module {

std::optional<platform::WideString> LoadRegistryScript(platform::ModuleHandle module) {
    const std::optional<std::string_view> resource =
        platform::FindModuleResource(module, WIDE("REGISTRY"), kRegistryScriptId);
    if (!resource) return std::nullopt;
    return platform::AnsiToWide(*resource);
}

}  // namespace module
