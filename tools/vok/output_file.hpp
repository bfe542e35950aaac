// Where `vok pack` writes its blocks.  A named file is written under a
// temporary name beside it and renamed only when everything succeeded, so a
// failed run never leaves a partial file; standard output, when it is a
// regular file, is cut back to where it started.  A device or FIFO named as
// the output is written in place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "descriptor.hpp"

namespace vok::tool {

class OutputFile : public NamedDescriptor {
  public:
    // Without commit(), removes or cuts back what was written.
    ~OutputFile();

    // path: a file, or "" or "-" for standard output.
    bool open(const std::string &path, std::string &error);
    bool write(std::span<const uint8_t> bytes, std::string &error);
    // Writes out what is buffered and puts the file in its place.
    bool commit(std::string &error);

  private:
    bool open_in_place(std::string &error);
    bool flush(std::string &error);
    bool write_all(std::span<const uint8_t> bytes, std::string &error);
    void discard();

    std::string target_;    // the file to replace
    std::string temporary_; // empty when written in place
    long long start_ = -1;  // standard output's starting offset, if it can seek
    std::vector<uint8_t> buffer_;
    bool committed_ = false;
};

} // namespace vok::tool
