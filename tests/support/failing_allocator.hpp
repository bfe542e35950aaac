// A test-only allocator for code linked with
//   -Wl,--wrap=malloc,--wrap=realloc,--wrap=free
// While armed it counts the blocks obtained and released, so that leaks
// show, and can make the next malloc or realloc fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace failing_allocator {

void arm();                     // starts counting from zero
void disarm();                  // the count stays readable
void fail_next(bool on = true); // the next malloc or realloc returns null
int64_t live();                 // blocks obtained minus blocks freed while armed

// Memory as a foreign library would hand it over: never failed, but live
// until freed.
void *foreign_malloc(size_t size);

} // namespace failing_allocator
