// Linux: the test host program loads the module and calls its entry point, as regsvr32 would.
#include "registration_tool.h"

namespace module_testing {

int RunRegistrationTool(bool registering, const std::string& modulePath) {
    std::string output;
    return RunHelper({registering ? "register" : "unregister", modulePath}, output);
}

}  // namespace module_testing
