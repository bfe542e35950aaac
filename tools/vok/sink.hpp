// Buffered text output.  Writes to a FILE in large pieces, or keeps
// everything in memory when no FILE is given (tests).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vok::tool {

class Sink {
  public:
    explicit Sink(std::FILE *file = nullptr) : file_(file) {}
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;
    ~Sink() { flush(); }

    Sink &operator<<(std::string_view text) {
        buffer_.append(text);
        if (file_ != nullptr && buffer_.size() >= kFlushSize) flush();
        return *this;
    }
    Sink &operator<<(char c) {
        buffer_.push_back(c);
        return *this;
    }

    void flush() {
        if (file_ == nullptr || buffer_.empty()) return;
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
    }

    // Everything written so far (in-memory sinks only).
    const std::string &text() const noexcept { return buffer_; }

  private:
    static constexpr size_t kFlushSize = 1 << 16;
    std::FILE *file_;
    std::string buffer_;
};

} // namespace vok::tool
