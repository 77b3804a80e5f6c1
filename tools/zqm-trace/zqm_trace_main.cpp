// zqm-trace: the trace viewer, and a writer of test lines.
//
//   zqm-trace [--filter TEXT] [--count N] [--timeout S] [--hold FILE]
//       Creates the shared trace area, sets the filter (default "JOE$") and turns tracing on,
//       then prints every line that writers store, exactly as stored, until interrupted.
//       --count N exits after N lines, --timeout S after S seconds without a new line, and
//       while FILE exists (--hold) no lines are taken, so writers meet a full ring (the time-out
//       counts from the end of the hold).
//   zqm-trace emit [--category C] [--repeat N] TEXT
//       Writes TEXT N times through the entry point of category C (default "jo"), from this
//       process, as the component does. "\n" in TEXT is a newline, "\\" a backslash, and "{n}"
//       the number of the repetition (from 1).
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/os_services.h"
#include "trace/zqm_trace.h"
#include "trace/zqm_trace_viewer.h"

namespace {

constexpr char kUsage[] =
    "usage: zqm-trace [--filter TEXT] [--count N] [--timeout S] [--hold FILE]\n"
    "       zqm-trace emit [--category C] [--repeat N] TEXT\n";

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

int UsageError(const char* problem) {
    std::fprintf(stderr, "zqm-trace: %s\n%s", problem, kUsage);
    return 2;
}

bool ParseCount(const char* text, long long* value) {
    char* end = nullptr;
    *value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && *value >= 0;
}

// --- viewer ---

struct ViewerOptions {
    std::string filter = "JOE$";
    long long count = 0;    // 0: no limit
    long long timeout = 0;  // seconds; 0: none
    std::string holdFile;
};

bool Held(const std::string& holdFile) {
    if (holdFile.empty()) return false;
    std::error_code error;
    return std::filesystem::exists(holdFile, error);
}

int RunViewer(const ViewerOptions& options) {
    if (options.filter.size() > ZQM_TRACE_FILTER_MAX)
        return UsageError("filter longer than 34 characters");
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    platform::SetStandardOutputBinary();

    ZQMTraceViewer viewer(options.filter);
    if (!viewer.valid()) {
        std::fprintf(stderr, "zqm-trace: cannot create the trace area, mutex or event\n");
        return 1;
    }
    std::fprintf(stderr, "zqm-trace: tracing on, filter \"%s\"%s\n", options.filter.c_str(),
                 viewer.tookOver() ? " (took over an existing area)" : "");

    long long taken = 0;
    auto lastLine = std::chrono::steady_clock::now();
    while (stopRequested == 0) {
        if (Held(options.holdFile)) {
            lastLine = std::chrono::steady_clock::now();  // holding pauses the time-out
        } else {
            const std::size_t room = options.count > 0
                                         ? static_cast<std::size_t>(options.count - taken)
                                         : static_cast<std::size_t>(-1);
            const std::vector<std::string> lines = viewer.TakeLines(room);
            for (const std::string& line : lines) std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
            taken += static_cast<long long>(lines.size());
            if (!lines.empty()) lastLine = std::chrono::steady_clock::now();
            if (options.count > 0 && taken >= options.count) break;
        }
        if (options.timeout > 0 &&
            std::chrono::steady_clock::now() - lastLine >= std::chrono::seconds(options.timeout)) {
            break;
        }
        // Short waits so that an interrupt or a removed hold file is noticed soon.
        viewer.WaitForLines(std::chrono::milliseconds(100));
    }
    return 0;  // the viewer's destructor turns tracing off and closes the area
}

// --- emit ---

using EntryPoint = void (*)(const char* format, ...) noexcept;

struct Category {
    const char* name;
    EntryPoint entryPoint;
};

constexpr Category kCategories[] = {
    {"", ZQMTrace},     {"so", ZQMTraceSO},    {"mo", ZQMTraceMO}, {"ao", ZQMTraceAO},
    {"xo", ZQMTraceXO}, {"ro", ZQMTraceRO},    {"wo", ZQMTraceWO}, {"lo", ZQMTraceLO},
    {"to", ZQMTraceTO}, {"yo", ZQMTraceYO},    {"yd", ZQMTraceYD}, {"co", ZQMTraceCO},
    {"zo", ZQMTraceZO}, {"uo", ZQMTraceUO},    {"f", ZQMTraceF},   {"p", ZQMTraceP},
    {"k", ZQMTraceK},   {"e", ZQMTraceError},  {"go", ZQMTraceGO}, {"ho", ZQMTraceHO},
    {"jo", ZQMTraceJO}, {"$", ZQMTraceDollar}, {"qo", ZQMTraceQO},
};

std::string Unescape(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            result += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string Numbered(const std::string& text, long long number) {
    std::string result = text;
    const std::string replacement = std::to_string(number);
    for (std::size_t at = result.find("{n}"); at != std::string::npos;
         at = result.find("{n}", at + replacement.size())) {
        result.replace(at, 3, replacement);
    }
    return result;
}

int RunEmit(const std::string& category, long long repeat, const std::string& text) {
    EntryPoint entryPoint = nullptr;
    for (const Category& candidate : kCategories) {
        if (category == candidate.name) entryPoint = candidate.entryPoint;
    }
    if (entryPoint == nullptr) return UsageError("unknown category");
    if (!ZQMTraceMapped()) {
        // The area is looked for once, at start, as the component does.
        std::fprintf(stderr, "zqm-trace emit: no trace area; start zqm-trace first\n");
        return 1;
    }
    const std::string unescaped = Unescape(text);
    for (long long number = 1; number <= repeat; ++number) {
        entryPoint("%s", Numbered(unescaped, number).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool emit = !args.empty() && args[0] == "emit";
    ViewerOptions viewer;
    std::string category = "jo";
    long long repeat = 1;
    std::vector<std::string> texts;
    for (std::size_t i = emit ? 1 : 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!emit && arg == "--filter" && hasValue) {
            viewer.filter = args[++i];
        } else if (!emit && arg == "--count" && hasValue) {
            if (!ParseCount(args[++i].c_str(), &viewer.count)) return UsageError("bad --count");
        } else if (!emit && arg == "--timeout" && hasValue) {
            if (!ParseCount(args[++i].c_str(), &viewer.timeout)) return UsageError("bad --timeout");
        } else if (!emit && arg == "--hold" && hasValue) {
            viewer.holdFile = args[++i];
        } else if (emit && arg == "--category" && hasValue) {
            category = args[++i];
        } else if (emit && arg == "--repeat" && hasValue) {
            if (!ParseCount(args[++i].c_str(), &repeat)) return UsageError("bad --repeat");
        } else if (emit && (arg.empty() || arg[0] != '-' || arg == "-")) {
            texts.push_back(arg);
        } else {
            return UsageError(("unknown or incomplete option " + arg).c_str());
        }
    }
    if (!emit) return RunViewer(viewer);
    if (texts.size() != 1) return UsageError("emit takes one TEXT");
    return RunEmit(category, repeat, texts[0]);
}
