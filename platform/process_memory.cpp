#include "platform/process_memory.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it builds on. The K32 entry point lives in kernel32: no psapi.dll is needed.
#define PSAPI_VERSION 2
#include <psapi.h>
#else
#include <cstdio>
#include <unistd.h>
#endif

namespace platform {

uint64_t residentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
#else
    // statm: total and resident pages.
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return 0;
    unsigned long long total = 0, resident = 0;
    const bool read = std::fscanf(statm, "%llu %llu", &total, &resident) == 2;
    std::fclose(statm);
    return read ? resident * uint64_t(sysconf(_SC_PAGESIZE)) : 0;
#endif
}

} // namespace platform
