// The io part: where the tool's bytes come from and where its text and
// files go — input from files, pipes and standard input, output files
// replaced atomically, buffered text (Sink), hex and escaped text, the
// messages' small words, and the few system calls that differ on Windows.
// It uses no other part of the tool and nothing of the libraries.
//
// Where the tool's bytes come from: a named file, a FIFO, a pipe or standard
// input, whatever can be read.  Everything goes through read(): nothing is
// mapped, so a file that shrinks while it is read ends early instead of
// raising a signal, and nothing seeks, so standard input is read from where
// it stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "descriptor.hpp"

namespace vok::tool {

class Input : public NamedDescriptor {
  public:
    // Opens path ("-" for standard input).  On failure returns false and
    // sets error to a message naming the cause.
    bool open(const std::string &path, std::string &error);

    // Reads up to size bytes into into: the count, 0 at the end of the
    // input, or -1 with error set.
    long read(uint8_t *into, size_t size, std::string &error);
};

// Splits an input into lines, without their newlines.  A line may hold any
// byte, a zero byte included, and at most kMaxLine bytes: a longer one is an
// error, so that what one line costs in memory is bounded whatever it holds.
class LineReader {
  public:
    static constexpr size_t kMaxLine = size_t{256} << 20;

    explicit LineReader(Input &input) : input_(input) {}

    enum class Result : uint8_t { line, end, error };

    // The next line, valid until the next call.
    Result next(std::string_view &line, std::string &error);

  private:
    bool read_more(std::string &error);

    Input &input_;
    std::string buffer_;
    size_t begin_ = 0;   // start of the next line
    size_t scanned_ = 0; // bytes from begin_ known to hold no newline
    size_t lines_ = 0;   // lines handed out so far
    bool at_end_ = false;
};

} // namespace vok::tool
