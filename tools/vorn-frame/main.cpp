// vorn-frame: builds VORN frames from settings and data, and checks and strips received ones.
// See vorn_frame_cli.h for the command line.
#include <cstdio>
#include <string_view>
#include <vector>

#include "vorn_frame_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    const vorn::cli::Outcome outcome = vorn::cli::Run(arguments);
    std::fputs(outcome.out.c_str(), stdout);
    std::fputs(outcome.err.c_str(), stderr);
    return outcome.exitCode;
}
