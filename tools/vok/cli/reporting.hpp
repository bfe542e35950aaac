// How the commands report on standard error, and close standard output.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#include "block_reader.hpp"
#include "sink.hpp"
#include "stream_walker.hpp"
#include "wording.hpp"

namespace vok::tool {

inline void print_error(const std::string &text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// "name: block at offset B: byte N: message"
inline void report(const std::string &name, const Problem &problem) {
    print_error(name + ": block at offset " + std::to_string(problem.block) + ": byte " +
                std::to_string(problem.offset) + ": " + problem_text(problem));
}

// "skipped 12 bytes from offset 13 to 25"
inline std::string skipped_text(const Skipped &skipped) {
    return "skipped " + counted(skipped.to - skipped.from, "byte") + " from offset " +
           std::to_string(skipped.from) + " to " + std::to_string(skipped.to);
}

inline void report_skipped(const std::string &name, const Skipped &skipped) {
    print_error(name + ": " + skipped_text(skipped));
}

// Writes out what the sink holds; false (and a message) if any of it failed.
inline bool close_output(Sink &out) {
    const int error = out.close();
    if (error != 0)
        print_error("vok: cannot write to standard output: " + std::string(std::strerror(error)));
    return error == 0;
}

} // namespace vok::tool
