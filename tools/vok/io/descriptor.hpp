// What the tool's input and output have in common: a file descriptor,
// closed with the object when the tool opened it, and the name that
// messages give it.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace vok::tool {

class NamedDescriptor {
  public:
    NamedDescriptor() = default;
    NamedDescriptor(const NamedDescriptor &) = delete;
    NamedDescriptor &operator=(const NamedDescriptor &) = delete;
    ~NamedDescriptor() {
        if (owned_) close(fd_);
    }

    // "<stdin>", "standard output" or the path, for messages.
    const std::string &name() const noexcept { return name_; }

  protected:
    int fd_ = -1;
    bool owned_ = false;
    std::string name_;
};

// "what: " and the text of errno.
inline std::string system_error(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace vok::tool
