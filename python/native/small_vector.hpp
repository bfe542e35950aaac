// A vector that keeps its first N elements inside itself, so that a small
// record's levels cost no allocation; past N it moves to the heap.  Only
// the elements in use are constructed and destroyed: a record's levels are
// made and dropped per record, and clearing a whole inline array each time
// cost more than the work done with it.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace vokpy {

template <typename T, size_t N> class SmallVector {
  public:
    explicit SmallVector(size_t count = 0) { grow_by(count); }
    SmallVector(const SmallVector &) = delete;
    SmallVector &operator=(const SmallVector &) = delete;
    SmallVector(SmallVector &&other) noexcept
        : heap_(std::move(other.heap_)), size_(other.size_), on_heap_(other.on_heap_) {
        if (!on_heap_)
            for (size_t i = 0; i < size_; ++i)
                new (inline_data() + i) T(std::move(other[i]));
        other.clear();
    }
    ~SmallVector() { clear(); }

    T *data() { return on_heap_ ? heap_.data() : inline_data(); }
    const T *data() const { return on_heap_ ? heap_.data() : inline_data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T &operator[](size_t i) { return data()[i]; }
    const T &operator[](size_t i) const { return data()[i]; }
    T *begin() { return data(); }
    T *end() { return data() + size_; }
    const T *begin() const { return data(); }
    const T *end() const { return data() + size_; }

    // Appends count value-initialised elements; pointers into the vector
    // may change.
    void grow_by(size_t count) {
        if (!on_heap_ && size_ + count <= N) {
            for (size_t i = size_; i < size_ + count; ++i)
                new (inline_data() + i) T();
            size_ += count;
            return;
        }
        if (!on_heap_) {
            heap_.reserve(2 * (size_ + count));
            for (size_t i = 0; i < size_; ++i) {
                heap_.push_back(std::move(inline_data()[i]));
                inline_data()[i].~T();
            }
            on_heap_ = true;
        }
        heap_.resize(size_ + count);
        size_ += count;
    }
    void push_back(T value) {
        grow_by(1);
        data()[size_ - 1] = std::move(value);
    }
    void clear() {
        if (on_heap_)
            heap_.clear();
        else
            for (size_t i = 0; i < size_; ++i)
                inline_data()[i].~T();
        size_ = 0;
    }

  private:
    T *inline_data() { return std::launder(reinterpret_cast<T *>(inline_)); }
    const T *inline_data() const { return std::launder(reinterpret_cast<const T *>(inline_)); }

    alignas(T) unsigned char inline_[N * sizeof(T)];
    std::vector<T> heap_;
    size_t size_ = 0;
    bool on_heap_ = false;
};

} // namespace vokpy
