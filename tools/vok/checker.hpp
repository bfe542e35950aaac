// `vok check`: a complete structural check of a stream.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sink.hpp"
#include "stream_walker.hpp"

namespace vok::tool {

struct CheckExpectations {
    std::optional<uint8_t> type;
    std::optional<uint32_t> version;
};

struct CheckReport {
    // Empty for a well-formed stream.  A stream type other than the
    // expected one is a problem, as it is for the library's opener.
    std::vector<Problem> problems;
    // A version other than the expected one: the opener reads such a stream,
    // so it is worth saying but not a failure.
    std::optional<std::string> warning;
    uint64_t offset = 0; // the block's, in the input
    uint64_t items = 0;  // body items
    uint64_t phrases = 0;
    uint32_t length = 0;
    uint8_t type = 0;
    uint32_t version = 0;
};

CheckReport check_stream(const Block &block, const CheckExpectations &expected);

// "12 items, 2 phrases, 80 bytes (type 7, version 3)"
std::string block_summary(const CheckReport &report);

// How much check says of good blocks: nothing (quiet), a closing line
// (normal), or a line for each block as well (verbose).
enum class Verbosity : uint8_t { quiet, normal, verbose };

// What check prints: a single block's summary after "ok: ", or, for several,
// a closing count; verbose, each block's summary after its offset before the
// count.  As JSON lines: an object for each block as it is checked, and one
// for each warning and for the problem that ends the check.
class CheckPrinter {
  public:
    CheckPrinter(Sink &out, bool json, Verbosity verbosity = Verbosity::normal)
        : out_(out), json_(json), verbosity_(verbosity) {}
    void add(const CheckReport &report);
    void warn(const Problem &warning);
    void fail(const Problem &problem);
    void finish();

  private:
    void print_with_offset(const CheckReport &report);
    void print_json(const CheckReport &report);

    Sink &out_;
    bool json_;
    Verbosity verbosity_;
    std::optional<CheckReport> first_;
    uint64_t blocks_ = 0;
    uint64_t bytes_ = 0;
};

} // namespace vok::tool
