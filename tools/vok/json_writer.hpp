// Writes entries, block summaries and problems as JSON lines, one object a
// line, for programs.  docs/notation.md describes every key.
#pragma once

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
    explicit JsonObject(Sink &out) : out_(out) { out_ << '{'; }
    ~JsonObject() { out_ << "}\n"; }
    JsonObject(const JsonObject &) = delete;
    JsonObject &operator=(const JsonObject &) = delete;

    // Writes the key; the caller writes the value.
    Sink &key(const char *name);
    void number(const char *name, int64_t value);
    void text(const char *name, std::string_view value); // any bytes of valid UTF-8

  private:
    Sink &out_;
    bool first_ = true;
};

// in_phrase: the identifier of the phrase the entry belongs to, if any.
// declared_length is reported on the header.
void write_json_entry(Sink &out, const Entry &entry, uint32_t declared_length,
                      std::optional<uint8_t> in_phrase, const NotationOptions &options);

// {"offset":N,"kind":"problem","message":"..."}; kind may also be "warning".
void write_json_problem(Sink &out, const Problem &problem, std::string_view kind = "problem");

} // namespace vok::tool
