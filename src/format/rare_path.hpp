// Marks the rare path of a hot function (buffer growth, the walk's rare
// items) as a function of its own that is never inlined, so that the common
// path needs no stack frame and reaches the rare one by a tail jump.  With
// growth inlined into the writers, ints through a handle were 10-13% slower
// to encode (GCC 12, -O2).
#pragma once

#define VOK_OUT_OF_LINE [[gnu::noinline]]
