#pragma once

#include <algorithm>

// A stable sort that allocates nothing, for the move lists sorted at every node
// (std::stable_sort asks the heap for its buffer). Short runs are sorted by
// insertion, then merged pairwise through the caller's scratch array of at least
// n items. Items that neither comes before keep their order, as with
// std::stable_sort, so the result is the same.
template <class T, class Before>
void StableSort(T* items, int n, T* scratch, Before before) {
    constexpr int kRun = 16;
    for (int start = 0; start < n; start += kRun) {
        const int end = std::min(start + kRun, n);
        for (int i = start + 1; i < end; ++i) {
            const T x = items[i];
            int j = i;
            for (; j > start && before(x, items[j - 1]); --j) items[j] = items[j - 1];
            items[j] = x;
        }
    }
    T* from = items;
    T* to = scratch;
    for (int width = kRun; width < n; width *= 2) {
        for (int lo = 0; lo < n; lo += 2 * width) {
            const int mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            int i = lo, j = mid, k = lo;
            // The right run's item goes first only when it comes strictly before.
            while (i < mid && j < hi) to[k++] = before(from[j], from[i]) ? from[j++] : from[i++];
            while (i < mid) to[k++] = from[i++];
            while (j < hi) to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    if (from != items) std::copy(from, from + n, items);
}
