// Costs of the transposition table's probes and stores, over a table much
// larger than the caches and half full, at random keys as a search meets them.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "search/transpositiontable.h"

namespace {

constexpr int32_t kEntries = 1 << 23;
constexpr uint64_t kStored = kEntries / 2;

// The n-th key of a sequence: a bijection of n, so keys never repeat.
uint64_t KeyOf(uint64_t n, uint64_t salt) {
    uint64_t h = (n + salt) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ h >> 32;
}

// A store at generation 1. Written for both interfaces the table has had (the
// generation given with every store, or held by the table), so that
// tools/compare.py can time revisions on either side of the change.
template <typename Table>
void Store(Table& tt, uint64_t key, int32_t depth) {
    if constexpr (requires { tt.RecordHash(key, depth, 0, kBoundLower, CellIndex{0}); }) {
        tt.SetAge(1);
        tt.RecordHash(key, depth, static_cast<int32_t>(key), kBoundLower,
                      static_cast<CellIndex>(key % 400));
    } else {
        tt.RecordHash(key, depth, static_cast<int32_t>(key), kBoundLower,
                      static_cast<CellIndex>(key % 400), 1);
    }
}

TranspositionTable& HalfFull() {
    static TranspositionTable* table = [] {
        auto* tt = new TranspositionTable(kEntries);
        for (uint64_t n = 0; n < kStored; ++n) Store(*tt, KeyOf(n, 0), static_cast<int32_t>(n % 9));
        return tt;
    }();
    return *table;
}

// Keys stored before: hits.
void BM_TableProbeHit(benchmark::State& state) {
    const TranspositionTable& tt = HalfFull();
    uint64_t n = 0;
    int64_t found = 0;
    for (auto _ : state) {
        int32_t alpha = -100, beta = 100, score = 0;
        CellIndex move;
        uint8_t bound;
        found += tt.ProbeHash(KeyOf(n++ % kStored, 0), 3, alpha, beta, move, bound, score);
        benchmark::DoNotOptimize(alpha);
    }
    state.counters["hit_rate"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TableProbeHit);

// Keys never stored: misses, as most lookups of the children's keys are.
void BM_TableLookupMiss(benchmark::State& state) {
    const TranspositionTable& tt = HalfFull();
    uint64_t n = 0;
    int64_t found = 0;
    for (auto _ : state) {
        const auto e = tt.Lookup(KeyOf(n++, uint64_t{1} << 40));
        found += e.has_value();
        benchmark::DoNotOptimize(e);
    }
    state.counters["hit_rate"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TableLookupMiss);

// New keys into the half-full table: the replacement walk and the write.
void BM_TableStore(benchmark::State& state) {
    TranspositionTable& tt = HalfFull();
    uint64_t n = 0;
    for (auto _ : state) {
        Store(tt, KeyOf(n, uint64_t{1} << 41), static_cast<int32_t>(n % 9));
        ++n;
    }
}
BENCHMARK(BM_TableStore);

}  // namespace
