// Where `vok pack` writes its blocks.  A named file is written under a
// temporary name beside it and renamed only when everything succeeded, so a
// failed run never leaves a partial file; standard output, when it is a
// regular file that nothing else wrote to meanwhile, is cut back to where
// this run started (for `>>`, the file's end), and otherwise left as it is
// with a message.  A device or FIFO named as the output is written in place.
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
    long long starting_offset() const;

    std::string target_;    // the file to replace
    std::string temporary_; // empty when written in place
    long long start_ = -1;  // standard output's starting offset, if it can seek
    size_t written_ = 0;    // bytes this run has written to the descriptor
    std::vector<uint8_t> buffer_;
    bool committed_ = false;
};

} // namespace vok::tool
