// A vector that keeps its first N elements inside itself, so that a small
// record's levels cost no allocation; past N it moves to the heap.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace vokpy {

template <typename T, size_t N> class SmallVector {
  public:
    explicit SmallVector(size_t count = 0) { grow_by(count); }
    SmallVector(const SmallVector &) = delete;
    SmallVector &operator=(const SmallVector &) = delete;
    SmallVector(SmallVector &&) noexcept = default;

    T *data() { return heap_.empty() ? inline_.data() : heap_.data(); }
    const T *data() const { return heap_.empty() ? inline_.data() : heap_.data(); }
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
        if (heap_.empty() && size_ + count <= N) {
            size_ += count;
            return;
        }
        if (heap_.empty()) {
            heap_.reserve(2 * (size_ + count));
            for (size_t i = 0; i < size_; ++i)
                heap_.push_back(std::move(inline_[i]));
        }
        heap_.resize(size_ + count);
        size_ += count;
    }
    void push_back(T value) {
        grow_by(1);
        data()[size_ - 1] = std::move(value);
    }

  private:
    std::array<T, N> inline_{};
    std::vector<T> heap_;
    size_t size_ = 0;
};

} // namespace vokpy
