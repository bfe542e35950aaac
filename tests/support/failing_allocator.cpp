#include "failing_allocator.hpp"

extern "C" {
void *__real_malloc(size_t size);
void *__real_realloc(void *p, size_t size);
void __real_free(void *p);
}

namespace failing_allocator {
namespace {

// One sequence of calls at a time, on one thread.  Constant initialisation
// makes it ready before the program's first allocation.
struct State {
    bool armed;
    uint64_t fail_at, attempts;
    int64_t live;
} state{};

bool fail_this_attempt() { return state.armed && ++state.attempts == state.fail_at; }

void *counted(void *p) {
    if (p != nullptr && state.armed) ++state.live;
    return p;
}

} // namespace

void arm(uint64_t fail_at) { state = State{true, fail_at, 0, 0}; }
void disarm() { state.armed = false; }
uint64_t attempts() { return state.attempts; }
int64_t live() { return state.live; }
void *foreign_malloc(size_t size) { return counted(__real_malloc(size)); }

// C linkage gives these their plain names, namespace or not.
extern "C" {

void *__wrap_malloc(size_t size) {
    return fail_this_attempt() ? nullptr : counted(__real_malloc(size));
}

void *__wrap_realloc(void *old, size_t size) {
    if (fail_this_attempt()) return nullptr; // the old block stays valid
    void *p = __real_realloc(old, size);
    return old == nullptr ? counted(p) : p;
}

void __wrap_free(void *p) {
    if (p != nullptr && state.armed) --state.live;
    __real_free(p);
}

} // extern "C"

} // namespace failing_allocator
