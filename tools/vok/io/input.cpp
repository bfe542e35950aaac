#include "input.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "system.hpp"

namespace vok::tool {

bool Input::open(const std::string &path, std::string &error) {
    if (path == "-") {
        fd_ = STDIN_FILENO;
        name_ = "<stdin>";
        return true;
    }
    name_ = path;
    fd_ = sys::open_for_reading(path.c_str());
    if (fd_ < 0) {
        error = system_error("cannot open");
        return false;
    }
    owned_ = true;
    return true;
}

long Input::read(uint8_t *into, size_t size, std::string &error) {
    for (;;) {
        const long long got = sys::read_some(fd_, into, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        error = system_error("cannot read");
        return -1;
    }
}

bool LineReader::read_more(std::string &error) {
    static constexpr size_t kChunk = 1 << 16;
    buffer_.erase(0, begin_);
    begin_ = 0;
    const size_t held = buffer_.size();
    buffer_.resize(held + kChunk);
    const long got = input_.read(reinterpret_cast<uint8_t *>(buffer_.data() + held), kChunk, error);
    buffer_.resize(held + static_cast<size_t>(got < 0 ? 0 : got));
    at_end_ = got == 0;
    return got >= 0;
}

LineReader::Result LineReader::next(std::string_view &line, std::string &error) {
    for (;;) {
        const size_t newline = buffer_.find('\n', begin_ + scanned_);
        if (std::min(newline, buffer_.size()) - begin_ > kMaxLine) {
            error = "line " + std::to_string(lines_ + 1) + " is longer than " +
                    std::to_string(kMaxLine) + " bytes, the most a line may hold";
            return Result::error;
        }
        if (newline != std::string::npos) {
            line = std::string_view(buffer_).substr(begin_, newline - begin_);
            begin_ = newline + 1;
            scanned_ = 0;
            ++lines_;
            return Result::line;
        }
        scanned_ = buffer_.size() - begin_;
        if (at_end_) {
            if (scanned_ == 0) return Result::end;
            line = std::string_view(buffer_).substr(begin_);
            begin_ = buffer_.size();
            scanned_ = 0;
            ++lines_;
            return Result::line;
        }

        if (!read_more(error)) return Result::error;
    }
}

} // namespace vok::tool
