// Windows: the system's own regsvr32, silent.
#include <windows.h>

#include "registration_tool.h"

namespace module_testing {

int RunRegistrationTool(bool registering, const std::string& modulePath) {
    char system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return -1;
    const std::vector<std::string> arguments =
        registering ? std::vector<std::string>{"/s", modulePath}
                    : std::vector<std::string>{"/u", "/s", modulePath};
    std::string output;
    return RunProgram(std::string(system) + "\\regsvr32.exe", arguments, output);
}

}  // namespace module_testing
