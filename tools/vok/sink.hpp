// Buffered text output.  Writes to a FILE in large pieces, or keeps
// everything in memory when no FILE is given (tests).  The first failed
// write is remembered and ends all writing; close() says whether everything
// reached the file.
#pragma once

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

namespace vok::tool {

class Sink {
  public:
    explicit Sink(std::FILE *file = nullptr) : file_(file) {}
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;

    Sink &operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushSize) flush();
        return *this;
    }
    Sink &operator<<(char c) {
        buffer_.push_back(c);
        if (buffer_.size() >= kFlushSize) flush();
        return *this;
    }

    // Writes out everything held and flushes the FILE.  The errno of the
    // first failure, or 0 when every byte was written.
    int close() {
        flush();
        if (file_ != nullptr && error_ == 0 && std::fflush(file_) != 0) error_ = errno;
        return error_;
    }

    // Everything written so far (in-memory sinks only).
    const std::string &text() const noexcept { return buffer_; }

  private:
    void flush() {
        if (file_ == nullptr) return;
        if (error_ == 0 && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            error_ = errno != 0 ? errno : EIO;
        buffer_.clear();
    }

    static constexpr size_t kFlushSize = 1 << 16;
    std::FILE *file_;
    std::string buffer_;
    int error_ = 0;
};

} // namespace vok::tool
