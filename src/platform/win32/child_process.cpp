// Child processes on Windows.
#include <thread>
#include <utility>

#include "platform/child_process.h"
#include "platform/com.h"

namespace platform {

namespace {

HANDLE AsHandle(std::intptr_t process) {
    return reinterpret_cast<HANDLE>(process);
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

// Quotes one argument the way the C runtime's command-line parser splits it again.
void AppendQuoted(std::wstring& commandLine, const std::wstring& argument) {
    if (!commandLine.empty()) commandLine += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        commandLine += argument;
        return;
    }
    commandLine += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') backslashes = backslashes * 2 + 1;
        commandLine.append(backslashes, L'\\');
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
}

std::optional<int> ExitCodeOf(HANDLE process) {
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) return std::nullopt;
    return static_cast<int>(code);
}

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
    *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        if (process_ != 0) ::CloseHandle(AsHandle(process_));
        process_ = std::exchange(other.process_, 0);
        exitCode_ = std::exchange(other.exitCode_, std::nullopt);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    Kill();
    if (process_ != 0) ::CloseHandle(AsHandle(process_));
}

ChildProcess ChildProcess::Start(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const std::string& outputPath) {
    ChildProcess child;
    std::string windowsProgram = program;
    for (char& c : windowsProgram) {
        if (c == '/') c = '\\';
    }
    const std::wstring application = Widen(windowsProgram);
    std::wstring commandLine;
    AppendQuoted(commandLine, application);
    for (const std::string& argument : arguments) AppendQuoted(commandLine, Widen(argument));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!outputPath.empty()) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        output = ::CreateFileW(Widen(outputPath).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) return child;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION information{};
    const BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, 0, nullptr, nullptr, &startup, &information);
    if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
    if (!started) return child;
    ::CloseHandle(information.hThread);
    child.process_ = reinterpret_cast<std::intptr_t>(information.hProcess);
    return child;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (exitCode_ || process_ == 0) return exitCode_;
    const auto count = timeout.count();
    const DWORD milliseconds =
        count <= 0 ? 0 : (count >= 0xFFFFFFFELL ? 0xFFFFFFFEu : static_cast<DWORD>(count));
    if (::WaitForSingleObject(AsHandle(process_), milliseconds) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    exitCode_ = ExitCodeOf(AsHandle(process_));
    return exitCode_;
}

void ChildProcess::Kill() noexcept {
    if (process_ == 0 || exitCode_) return;
    ::TerminateProcess(AsHandle(process_), 137);
    if (::WaitForSingleObject(AsHandle(process_), INFINITE) == WAIT_OBJECT_0) {
        exitCode_ = ExitCodeOf(AsHandle(process_));
    }
}
}  // namespace platform
