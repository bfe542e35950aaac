// A whole input file as one read-only block of bytes.  Regular files are
// mapped, so a stream of hundreds of megabytes costs no heap; standard input
// that is not a regular file (a pipe) is first spooled to an anonymous
// temporary file and mapped the same way.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vok::tool {

class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
    ~InputFile();

    // Opens path ("-" for standard input).  On failure returns false and
    // sets error to a message naming the cause.
    bool open(const std::string &path, std::string &error);

    std::span<const uint8_t> bytes() const noexcept { return {data_, size_}; }

  private:
    bool map(int fd, std::string &error);

    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
};

} // namespace vok::tool
