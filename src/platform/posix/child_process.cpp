// Child processes on Linux.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <utility>

#include "platform/child_process.h"

extern char** environ;

namespace platform {

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        process_ = std::exchange(other.process_, 0);
        exitCode_ = std::exchange(other.exitCode_, std::nullopt);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    Kill();
}

ChildProcess ChildProcess::Start(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const std::string& outputPath) {
    ChildProcess child;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = 0;
    const int result = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result == 0) child.process_ = pid;
    return child;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (exitCode_ || process_ == 0) return exitCode_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t result = ::waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
        if (result == static_cast<pid_t>(process_)) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        if (result < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::Kill() noexcept {
    if (process_ == 0 || exitCode_) return;
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    int status = 0;
    if (::waitpid(static_cast<pid_t>(process_), &status, 0) == static_cast<pid_t>(process_)) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
}
}  // namespace platform
