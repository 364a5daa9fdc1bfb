#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "platform/processmemory.h"

uint64_t ResidentMemoryBytes() {
    // The working set is Windows' resident size. K32GetProcessMemoryInfo lives in
    // kernel32, so no psapi.dll is needed.
    PROCESS_MEMORY_COUNTERS counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<uint64_t>(counters.WorkingSetSize);
}
