// A helper process for trace_process_test.
//
//   trace_test_child hold-mutex   takes the trace mutex, prints "held" and waits to be killed
#include <cstdio>
#include <cstring>

#include "platform/kernel_objects.h"
#include "platform/os_services.h"
#include "trace/zqm_trace_layout.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "hold-mutex") == 0) {
        auto mutex =
            platform::NamedMutex::CreateOrOpen(platform::KernelObjectName(ZQM_TRACE_MUTEX_NAME));
        if (!mutex.Acquire()) return 1;
        std::puts("held");
        std::fflush(stdout);
        for (;;) platform::SleepMilliseconds(1000);
    }
    std::fputs("usage: trace_test_child hold-mutex\n", stderr);
    return 2;
}
