// The process's peak resident memory, for tests that check a refusal came before a large
// allocation (see GraphicsTestSupport.h).
#include "GraphicsTestSupport.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>
#else
#include <sys/resource.h>

#include <cstdio>
#endif

uint64_t PeakResidentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        return 0;
    }
    return counters.PeakWorkingSetSize;
#else
    // The high-water mark of this process's own memory. getrusage's ru_maxrss is not: a process
    // started by posix_spawn begins with the peak of the one that started it.
    FILE* status = fopen("/proc/self/status", "r");
    char line[256];
    unsigned long long kilobytes = 0;
    while (status != nullptr && fgets(line, sizeof(line), status) != nullptr) {
        if (sscanf(line, "VmHWM: %llu kB", &kilobytes) == 1) {
            break;
        }
    }
    if (status != nullptr) {
        fclose(status);
    }
    if (kilobytes != 0) {
        return uint64_t(kilobytes) * 1024;
    }
    rusage usage = {};
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return 0;
    }
    return uint64_t(usage.ru_maxrss) * 1024;  // kilobytes on Linux
#endif
}
