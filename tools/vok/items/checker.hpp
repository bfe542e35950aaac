// `vok check`: a complete structural check of a stream.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "block_reader.hpp"
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

// The report of a block whose frame vokxInspect accepts, from its frame
// alone: items and phrases are not counted, and the items not checked.  For
// a block the records engine reads to its end, which walks every item.
CheckReport frame_report(const Block &block, const CheckExpectations &expected);

// "12 items, 2 phrases, 80 bytes (type 7, version 3)"
std::string block_summary(const CheckReport &report);

// What a pass over an input found, for the closing line.
struct Tally {
    uint64_t blocks = 0; // found, damaged ones included
    uint64_t good = 0;   // without a problem
    uint64_t bytes = 0;  // of the good blocks
    uint64_t problems = 0;
    uint64_t skipped = 0; // bytes passed over while looking for a block

    // "ok: N blocks, B bytes", or "P problems in M blocks (K well-formed, S
    // bytes skipped)".
    std::string closing_line() const;
};

// How much check says of good blocks: nothing (quiet), a closing line
// (normal), or a line for each block as well (verbose).
enum class Verbosity : uint8_t { quiet, normal, verbose };

// What check prints on standard output.  A lone good block: its summary
// after "ok: "; otherwise the tally's closing line, and when verbose a line
// for each block and skipped range before it, bad blocks marked "bad".  As
// JSON lines: an object for each good block, problem, warning and skipped
// range as it is found (docs/notation.md).
class CheckPrinter {
  public:
    CheckPrinter(Sink &out, bool json, Verbosity verbosity = Verbosity::normal)
        : out_(out), json_(json), verbosity_(verbosity) {}
    void add(const CheckReport &report);
    void bad(uint64_t block, const std::vector<Problem> &problems);
    void skip(const Skipped &skipped);
    void warn(const Problem &warning);
    void finish();
    const Tally &tally() const noexcept { return tally_; }

  private:
    void print_pending();
    void print_with_offset(const CheckReport &report);
    void print_json(const CheckReport &report);

    Sink &out_;
    bool json_;
    Verbosity verbosity_;
    std::optional<CheckReport> pending_; // a first good block, until more come
    Tally tally_;
};

} // namespace vok::tool
