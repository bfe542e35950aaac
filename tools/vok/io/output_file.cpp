#include "output_file.hpp"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "system.hpp"

namespace vok::tool {

namespace {

constexpr size_t kBufferSize = 1 << 16;

} // namespace

OutputFile::~OutputFile() {
    if (!committed_) discard();
}

// A regular file is cut back to where this run started only if nothing else
// has written to it meanwhile: its size must still be that start plus what
// this run wrote.  Anything else is left alone, and said so.
void OutputFile::discard() {
    if (!temporary_.empty()) {
        sys::remove_file(temporary_);
        return;
    }
    if (written_ == 0) return;
    const char *reason = "it cannot be cut back";
    const long long size = start_ >= 0 ? sys::regular_file_size(fd_) : -1;
    if (size >= 0) {
        if (size == start_ + static_cast<long long>(written_) && sys::truncate_to(fd_, start_))
            return;
        reason = "another writer has written to it meanwhile";
    }
    const std::string message = "vok: output not rolled back: " + name_ + ": " +
                                std::to_string(written_) + " bytes were written and " + reason +
                                "\n";
    std::fwrite(message.data(), 1, message.size(), stderr);
}

// Where standard output starts: the end of the file for a descriptor opened
// for appending (every write goes there, whatever the offset says), the
// offset otherwise, or -1 where there is no position (a pipe, a terminal).
long long OutputFile::starting_offset() const {
    const long long size = sys::regular_file_size(fd_);
    if (size >= 0 && sys::opened_for_appending(fd_)) return size;
    return sys::current_offset(fd_);
}

bool OutputFile::open(const std::string &path, std::string &error) {
    if (path.empty() || path == "-") {
        fd_ = STDOUT_FILENO;
        name_ = "standard output";
        start_ = starting_offset();
        return true;
    }
    name_ = path;
    if (sys::is_special_file(path)) return open_in_place(error);
    // The file that a symbolic link names is replaced, not the link.
    target_ = sys::resolved_path(path);
    std::string pattern = target_ + ".XXXXXX";
    fd_ = sys::create_temporary(pattern);
    if (fd_ < 0) {
        error = system_error("cannot create a temporary file beside it");
        return false;
    }
    temporary_ = pattern;
    owned_ = true;
    return true;
}

// A device or a FIFO is written as it is: there is nothing to rename.
bool OutputFile::open_in_place(std::string &error) {
    fd_ = sys::open_for_writing(name_.c_str());
    owned_ = fd_ >= 0;
    if (!owned_) error = system_error("cannot open");
    return owned_;
}

// Small blocks are gathered; a large one goes out as it is, not copied.
bool OutputFile::write(std::span<const uint8_t> bytes, std::string &error) {
    if (buffer_.size() + bytes.size() < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    return flush(error) && write_all(bytes, error);
}

bool OutputFile::flush(std::string &error) {
    const bool written = write_all(buffer_, error);
    buffer_.clear();
    return written;
}

bool OutputFile::write_all(std::span<const uint8_t> bytes, std::string &error) {
    for (size_t done = 0; done < bytes.size();) {
        const long long put = sys::write_some(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            error = system_error("cannot write");
            return false;
        }
        done += static_cast<size_t>(put);
        written_ += static_cast<size_t>(put);
    }
    return true;
}

bool OutputFile::commit(std::string &error) {
    if (!flush(error)) return false;
    if (temporary_.empty()) return committed_ = true;
    owned_ = false;
    if (close(fd_) != 0) {
        error = system_error("cannot write");
        return false;
    }
    if (!sys::replace_file(temporary_, target_)) {
        error = system_error("cannot rename the temporary file into place");
        return false;
    }
    return committed_ = true;
}

} // namespace vok::tool
