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
    bool armed, fail_next;
    int64_t live;
} state{};

bool fail_this_attempt() {
    const bool fail = state.armed && state.fail_next;
    state.fail_next = false;
    return fail;
}

void *counted(void *p) {
    if (p != nullptr && state.armed) ++state.live;
    return p;
}

} // namespace

void arm() { state = State{true, false, 0}; }
void disarm() { state.armed = false; }
void fail_next(bool on) { state.fail_next = on; }
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
