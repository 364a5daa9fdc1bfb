#include "platform/processmemory.h"

#include <unistd.h>

#include <cstdio>

uint64_t ResidentMemoryBytes() {
    // The second field of statm is the resident set, in pages.
    FILE* f = fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long total = 0, resident = 0;
    int n = fscanf(f, "%llu %llu", &total, &resident);
    fclose(f);
    if (n != 2) return 0;
    long page = sysconf(_SC_PAGESIZE);
    if (page <= 0) return 0;
    return static_cast<uint64_t>(resident) * static_cast<uint64_t>(page);
}
