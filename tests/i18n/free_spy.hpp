// Records the pointers passed to free() while armed: the test program
// exports a free() that the dynamic linker gives vok32 too, forwarding to
// glibc's.  Sanitizers own free(), so there the spy is off and leak checking
// covers the same ground.
#pragma once

namespace free_spy {

bool available();
void arm();
void disarm();
int times_freed(const void *pointer); // during the last armed period

} // namespace free_spy
