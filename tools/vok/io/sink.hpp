// Buffered text output.  Writes to a FILE in large pieces, or keeps
// everything in memory when no FILE is given (tests).  The first failed
// write is remembered and ends all writing; close() says whether everything
// reached the file.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace vok::tool {

class Sink {
  public:
    explicit Sink(std::FILE *file = nullptr) : file_(file) {}
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;

    // A listing is millions of small pieces: each is copied into room
    // already there, with a single check, and the buffer goes out when full.
    [[gnu::always_inline]] Sink &operator<<(std::string_view text) {
        if (text.size() > buffer_.size() - used_) return append_slowly(text);
        std::memcpy(buffer_.data() + used_, text.data(), text.size());
        used_ += text.size();
        return *this;
    }
    Sink &operator<<(char c) {
        if (used_ == buffer_.size()) return append_slowly({&c, 1});
        buffer_[used_++] = c;
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
    std::string_view text() const noexcept { return {buffer_.data(), used_}; }

  private:
    Sink &append_slowly(std::string_view text) {
        flush();
        if (text.size() > buffer_.size() - used_)
            buffer_.resize(std::max({buffer_.size() * 2, used_ + text.size(), kFlushSize}));
        std::memcpy(buffer_.data() + used_, text.data(), text.size());
        used_ += text.size();
        return *this;
    }

    // Writes out what is held, unless the sink keeps everything (no FILE).
    void flush() {
        if (file_ == nullptr) return;
        if (error_ == 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_)
            error_ = errno != 0 ? errno : EIO;
        used_ = 0;
    }

    static constexpr size_t kFlushSize = 1 << 16;
    std::FILE *file_;
    std::string buffer_; // its size is the room; used_ bytes hold output
    size_t used_ = 0;
    int error_ = 0;
};

} // namespace vok::tool
