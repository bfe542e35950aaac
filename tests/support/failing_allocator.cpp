#include "failing_allocator.hpp"

#include <cstdlib>

extern "C" {
void *__real_malloc(size_t size);
void *__real_realloc(void *p, size_t size);
void __real_free(void *p);
}

namespace failing_allocator {
namespace {

// Tests drive one sequence of calls at a time, on one thread.
struct State {
    bool armed = false;
    uint64_t fail_at = 0;
    Counts counts{};
    const void *freed[64] = {};
    unsigned next_freed = 0;
};

State &state() {
    static State s;
    return s;
}

bool fail_this_attempt() {
    State &s = state();
    if (!s.armed) return false;
    ++s.counts.attempts;
    if (s.counts.attempts != s.fail_at) return false;
    ++s.counts.failed;
    return true;
}

} // namespace

void arm(uint64_t fail_at) {
    State &s = state();
    s = State{};
    s.fail_at = fail_at;
    s.armed = true;
}

void disarm() { state().armed = false; }

Counts counts() { return state().counts; }

bool was_freed(const void *p) {
    for (const void *f : state().freed)
        if (f == p && p != nullptr) return true;
    return false;
}

void *foreign_malloc(size_t size) {
    void *p = __real_malloc(size);
    if (p != nullptr && state().armed) ++state().counts.live; // freed through us later
    return p;
}

} // namespace failing_allocator

using namespace failing_allocator;

extern "C" {

void *__wrap_malloc(size_t size) {
    if (fail_this_attempt()) return nullptr;
    void *p = __real_malloc(size);
    if (p != nullptr && state().armed) ++state().counts.live;
    return p;
}

void *__wrap_realloc(void *old, size_t size) {
    if (fail_this_attempt()) return nullptr; // the old block stays valid
    void *p = __real_realloc(old, size);
    if (p != nullptr && old == nullptr && state().armed) ++state().counts.live;
    return p;
}

void __wrap_free(void *p) {
    State &s = state();
    if (p != nullptr && s.armed) {
        --s.counts.live;
        s.freed[s.next_freed++ % 64] = p;
    }
    __real_free(p);
}

} // extern "C"
