// A test-only allocator for code linked with
//   -Wl,--wrap=malloc,--wrap=realloc,--wrap=free
// It counts the allocations made while armed and can make the n-th of them
// fail, so that every allocation of a sequence of calls can be failed in
// turn.  Frees are counted too, and the last few freed pointers remembered,
// so that a test can tell that a block it handed over was released.
#pragma once

#include <cstddef>
#include <cstdint>

namespace failing_allocator {

struct Counts {
    uint64_t attempts; // malloc and realloc calls while armed
    uint64_t failed;   // of which were made to fail
    int64_t live;      // blocks obtained minus blocks freed while armed
};

// Starts counting from zero; the `fail_at`-th attempt (1-based) returns null,
// 0 fails none.
void arm(uint64_t fail_at = 0);
// Stops counting and failing; the counts stay readable.
void disarm();
Counts counts();
// Whether `p` was passed to free while armed (among the last 64 frees).
bool was_freed(const void *p);

// Memory that the library did not allocate, as a foreign library would hand
// it over: never failed and not an attempt, but live until freed.
void *foreign_malloc(size_t size);

} // namespace failing_allocator
