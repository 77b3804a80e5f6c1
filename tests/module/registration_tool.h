// Registers or unregisters the module from a separate process, as an installer would: regsvr32
// under Wine, the module_test_host program on Linux. Returns the tool's exit code, or -1 when
// it did not start or end.
#pragma once

#include <string>
#include <vector>

namespace module_testing {

int RunRegistrationTool(bool registering, const std::string& modulePath);

// Runs a program with arguments and returns its exit code (-1 as above) and its standard output.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string& output);
// The same for module_test_host, next to the test program.
int RunHelper(const std::vector<std::string>& arguments, std::string& output);

}  // namespace module_testing
