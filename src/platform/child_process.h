// Child processes for tests that need separate processes rather than threads (named kernel
// objects shared between processes, a process killed while it holds a lock):
//
//   auto child = platform::ChildProcess::Start(platform::ExecutableDirectory() + "helper",
//                                              {"hold-mutex"}, "helper.out");
//   ...
//   child.Kill();                       // ends it at once, as a crash would
//   std::optional<int> code = child.Wait(std::chrono::seconds(30));
//
// The child inherits the environment (and with it VORN_KERNEL_NAMESPACE). A child still running
// when its ChildProcess is destroyed is killed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

namespace platform {

class ChildProcess {
  public:
    ChildProcess() noexcept = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts `program` (a path; '/' separates on every platform) with `arguments`. Standard
    // output goes to the file `outputPath` (created or emptied) unless that is empty.
    static ChildProcess Start(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& outputPath = {});

    bool valid() const noexcept { return process_ != 0; }

    // The exit code once the child has ended, or nothing if it is still running after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    void Kill() noexcept;

  private:
    std::intptr_t process_ = 0;  // the pid on Linux, the process handle on Windows
    std::optional<int> exitCode_;
};

// The directory of the running program's executable, with a trailing separator.
std::string ExecutableDirectory();

}  // namespace platform
