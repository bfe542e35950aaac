// Writes entries, block summaries and problems as JSON lines, one object a
// line, for programs.  docs/notation.md describes every key.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "notation_writer.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"

namespace vok::tool {

// One JSON object on one line; keys are written in the order given.
class JsonObject {
  public:
    // line: the object ends its line (else it is nested in another).
    explicit JsonObject(Sink &out, bool line = true) : out_(out), line_(line) { out_ << '{'; }
    ~JsonObject() { out_ << (line_ ? "}\n" : "}"); }
    JsonObject(const JsonObject &) = delete;
    JsonObject &operator=(const JsonObject &) = delete;

    // Writes the key; the caller writes the value.  Inline, like the two
    // below, so that a key given as a literal is copied as the constant it
    // is: a large listing writes millions of them.
    [[gnu::always_inline]] Sink &key(const char *name) {
        out_ << (first_ ? std::string_view("\"") : std::string_view(",\""));
        first_ = false;
        return out_ << std::string_view(name) << std::string_view("\":");
    }
    [[gnu::always_inline]] void number(const char *name, int64_t value) {
        char digits[24];
        const auto done = std::to_chars(digits, digits + sizeof digits, value);
        key(name) << std::string_view(digits, static_cast<size_t>(done.ptr - digits));
    }
    void text(const char *name, std::string_view value); // any bytes of valid UTF-8

  private:
    Sink &out_;
    bool line_;
    bool first_ = true;
};

// in_phrase: the identifier of the phrase the entry belongs to, if any.
// declared_length is reported on the header.
void write_json_entry(Sink &out, const Entry &entry, uint32_t declared_length,
                      std::optional<uint8_t> in_phrase, const NotationOptions &options);

// A problem's keys: "block" (unless with_block is false), "byte", "status",
// "path" (records only) and "message".
void write_problem_keys(JsonObject &json, const Problem &problem, bool with_block = true);

// {"block":B,"byte":N,"status":"VOK_...","message":"..."} on a line, or
// {"warning":{...}} around the same keys.
void write_json_problem(Sink &out, const Problem &problem, bool warning = false);

// {"skipped":{"from":A,"to":B}}
void write_json_skipped(Sink &out, const Skipped &skipped);

} // namespace vok::tool
