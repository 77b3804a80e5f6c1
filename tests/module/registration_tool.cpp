#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/child_process.h"
#include "platform/os_services.h"
#include "registration_tool.h"

namespace module_testing {

namespace {

// Generous: under Wine every process start costs.
constexpr auto kProcessTimeout = std::chrono::seconds(120);

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string& output) {
    const std::string outputPath = "module_registration_test.out";
    auto child = platform::ChildProcess::Start(program, arguments, outputPath);
    if (!child.valid()) return -1;
    const std::optional<int> code = child.Wait(kProcessTimeout);
    std::ifstream file(outputPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    output = text.str();
    file.close();
    std::filesystem::remove(outputPath);
    return code.value_or(-1);
}

int RunHelper(const std::vector<std::string>& arguments, std::string& output) {
    return RunProgram(platform::ExecutableDirectory() + VORN_TEST_HOST, arguments, output);
}

}  // namespace module_testing
