// Counts heap allocations while switched on: this executable interposes the C
// allocator and replaces the global operator new, so every allocation in the
// process passes through it, the library's included.
#ifndef TAVREL_TESTS_ALLOC_COUNTER_H
#define TAVREL_TESTS_ALLOC_COUNTER_H

namespace tvltest {

struct AllocCounts {
    unsigned long mallocs; // malloc, calloc, realloc and the aligned allocators
    unsigned long frees;   // free
    unsigned long news;    // operator new and new[]
    unsigned long deletes; // operator delete and delete[]

    unsigned long Total() const {
        return mallocs + frees + news + deletes;
    }
};

// Zeroes the counts and starts counting.
void StartCountingAllocs();
// Stops counting and returns what was seen since the start.
AllocCounts StopCountingAllocs();

} // namespace tvltest

#endif
