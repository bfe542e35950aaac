// A test-only allocator for code linked with
//   -Wl,--wrap=malloc,--wrap=realloc,--wrap=free
// While armed it counts malloc and realloc calls and can make the n-th of
// them fail, so that every allocation of a sequence of calls can be failed
// in turn; frees are counted too, so that leaks show.
#pragma once

#include <cstddef>
#include <cstdint>

namespace failing_allocator {

// Starts counting from zero; the `fail_at`-th attempt (1-based) returns null.
void arm(uint64_t fail_at = 0);
void disarm();       // the counts stay readable
uint64_t attempts(); // malloc and realloc calls while armed
int64_t live();      // blocks obtained minus blocks freed while armed

// Memory as a foreign library would hand it over: never failed and not an
// attempt, but live until freed.
void *foreign_malloc(size_t size);

} // namespace failing_allocator
