// dump, check and salvage: the commands that read blocks, and go on past
// damage (block_reader.hpp says how the next block is found).  Each problem
// goes to standard error as it is found, named by its block and byte.
#include <cstdio>
#include <optional>
#include <unistd.h>

#include "commands.hpp"
#include "input.hpp"
#include "json_writer.hpp"
#include "output_file.hpp"
#include "record_json.hpp"
#include "reporting.hpp"
#include "system.hpp"
#include "tags.hpp"
#include "wording.hpp"

namespace vok::tool {

namespace {

// Opens the input and hands what the reader finds to visit (see
// visit_blocks); false, with a message, if it could not be opened or read.
bool read_blocks(Input &input, const std::string &path, const ScanRules &rules,
                 const std::function<bool(const Found &)> &visit) {
    std::string error;
    if (input.open(path, error)) {
        BlockReader reader(input, rules);
        if (visit_blocks(reader, visit, error)) return true;
    }
    print_error(input.name() + ": " + error);
    return false;
}

void report_all(const std::string &name, const std::vector<Problem> &problems) {
    for (const Problem &p : problems)
        report(name, p);
}

// A listing labels marks with the schema's names only in blocks of the
// schema's stream type; another type's block is listed plainly, with a
// warning.  A record's JSON needs the schema, and refuses the block.
DumpOptions options_for(const Block &block, const DumpOptions &options, const std::string &name) {
    vokxBlockInfo info{};
    if (options.schema == nullptr || options.json ||
        vokxInspect(block.bytes, block.size, &info) != VOK_OK || info.type == options.schema->type)
        return options;
    report(name, {block.offset + kTypeOffset,
                  "warning: stream type " + std::to_string(info.type) + ", not the schema's " +
                      std::to_string(options.schema->type) + ": listed without its names",
                  block.offset});
    DumpOptions plain = options;
    plain.schema = nullptr;
    return plain;
}

// A block as a record's JSON line, or, when that fails, as an $error object
// with its problem and what its items are.
std::vector<Problem> list_record(const Found &found, Sink &out, RecordJsonWriter &records) {
    const Block &block = *found.block;
    Problem refused;
    const bool damaged = found.kind == BlockReader::Result::damaged;
    if (!damaged && records.write(out, block, refused)) return {};
    Sink entries;
    DumpOptions listing;
    listing.json = true;
    listing.entries_only = true;
    std::vector<Problem> problems = dump_stream(block, entries, listing);
    if (!damaged) problems = {refused}; // the engine names the field
    write_refused_json(out, block, problems.front(), entries.text());
    return problems;
}

// One block, listed: in the notation or the JSON lines, or as a record.
std::vector<Problem> list_block(const Found &found, Sink &out, const DumpOptions &options,
                                RecordJsonWriter *records) {
    if (records != nullptr) return list_record(found, out, *records);
    std::vector<Problem> problems = dump_stream(*found.block, out, options);
    Problem refused;
    if (options.schema != nullptr && problems.empty() &&
        !check_record(*found.block, *options.schema, refused)) {
        out << "# record refused at byte " << std::to_string(refused.offset) << ": "
            << problem_text(refused) << '\n';
        problems.push_back(refused);
    }
    return problems;
}

} // namespace

// Why the chosen block is not there: blocks were seen, the last of them
// starting at last_start and ending at end.
std::string missing_block(const BlockChoice &choice, uint64_t blocks, uint64_t last_start,
                          uint64_t end) {
    if (choice.index)
        return "no block " + std::to_string(*choice.index) + ": the input holds " +
               counted(blocks, "block");
    const std::string where = "no block starts at offset " + std::to_string(*choice.offset);
    if (blocks == 0 || end <= *choice.offset)
        return where + ": the input's blocks end at offset " + std::to_string(end);
    return where + ": the block at offset " + std::to_string(last_start) + " runs to offset " +
           std::to_string(end);
}

int run_dump(const std::string &path, const DumpOptions &options, const BlockChoice &choice,
             const ScanOptions &scan) {
    Sink out(stdout);
    Input input;
    Tally tally;
    std::optional<RecordJsonWriter> records;
    if (options.schema != nullptr && options.json) records.emplace(*options.schema);
    const bool all = !choice.index && !choice.offset;
    bool found = all;
    uint64_t last_start = 0, end = 0;
    const bool read = read_blocks(input, path, {scan.max_block, {}}, [&](const Found &f) {
        if (f.kind == BlockReader::Result::skipped) {
            tally.skipped += f.skipped->to - f.skipped->from;
            if (!all) return true;
            report_skipped(input.name(), *f.skipped);
            if (options.json && !records) write_json_skipped(out, *f.skipped);
            if (!options.json) out << "# " << skipped_text(*f.skipped) << '\n';
            return true;
        }
        const Block &block = *f.block;
        if (choice.offset && block.offset > *choice.offset) return false; // passed it
        const uint64_t index = tally.blocks++;
        if (!all && index != choice.index && block.offset != choice.offset) {
            last_start = block.offset;
            end = block.offset + block.size;
            return true;
        }
        found = true;
        const std::vector<Problem> problems = list_block(
            f, out, options_for(block, options, input.name()), records ? &*records : nullptr);
        tally.problems += problems.size();
        if (problems.empty()) ++tally.good;
        report_all(input.name(), problems);
        return all && !(scan.first && !problems.empty());
    });
    const bool written = close_output(out);
    if (read && !found)
        print_error(input.name() + ": " + missing_block(choice, tally.blocks, last_start, end));
    if (read && found && all && tally.problems != 0)
        print_error(input.name() + ": " + tally.closing_line());
    return read && written && found && tally.problems == 0 ? 0 : kExitInvalid;
}

namespace {

// Everything check finds wrong with one block: its structure, then (when
// that holds, or when the record is refused before the first broken item)
// the record.
std::vector<Problem> block_problems(const Found &found, const CheckReport &report,
                                    const vokxSchema *schema) {
    std::vector<Problem> problems = report.problems;
    Problem refused;
    if (schema == nullptr || found.kind == BlockReader::Result::damaged ||
        check_record(*found.block, *schema, refused))
        return problems;
    if (problems.empty() || refused.offset < problems.front().offset)
        problems.insert(problems.begin(), refused);
    return problems;
}

} // namespace

int run_check(const std::string &path, const CheckExpectations &expected, bool json,
              Verbosity verbosity, const vokxSchema *schema, const ScanOptions &scan) {
    Sink out(stdout);
    CheckPrinter printer(out, json, verbosity);
    Input input;
    const ScanRules rules{scan.max_block, expected.type};
    // Where no count of items is shown, a record the engine reads whole
    // needs no walk of its own: the engine walked every item.
    const auto read_as_record = [&](const Found &f, CheckReport &report) {
        const bool counts_shown =
            json || verbosity == Verbosity::verbose || printer.tally().blocks == 0;
        if (schema == nullptr || counts_shown || f.kind != BlockReader::Result::block) return false;
        report = frame_report(*f.block, expected);
        Problem refused;
        return report.problems.empty() && check_record(*f.block, *schema, refused);
    };
    const bool read = read_blocks(input, path, rules, [&](const Found &f) {
        if (f.kind == BlockReader::Result::skipped) {
            report_skipped(input.name(), *f.skipped);
            printer.skip(*f.skipped);
            return true;
        }
        CheckReport result;
        if (!read_as_record(f, result)) {
            result = check_stream(*f.block, expected);
            const std::vector<Problem> problems = block_problems(f, result, schema);
            if (!problems.empty()) {
                report_all(input.name(), problems);
                printer.bad(f.block->offset, problems);
                return !scan.first;
            }
        }
        if (result.warning && verbosity != Verbosity::quiet) {
            const uint16_t status =
                result.version < *expected.version ? VOK_OLDER_VERSION : VOK_NEWER_VERSION;
            const Problem warning{result.offset, *result.warning, result.offset, status};
            report(input.name(), {warning.offset, "warning: " + warning.message, warning.block});
            printer.warn(warning);
        }
        printer.add(result);
        return true;
    });
    if (read) printer.finish();
    const bool written = close_output(out);
    return read && printer.tally().problems == 0 && written ? 0 : kExitInvalid;
}

int run_salvage(const std::string &path, const std::string &output, const vokxSchema *schema,
                const ScanOptions &scan) {
    if ((output.empty() || output == "-") && sys::is_terminal(STDOUT_FILENO)) {
        print_error("vok salvage: not writing a binary stream to a terminal; use -o FILE or "
                    "redirect the output");
        return kExitUsage;
    }
    OutputFile out;
    std::string error;
    if (!out.open(output, error)) {
        print_error(out.name() + ": " + error);
        return kExitInvalid;
    }
    Input input;
    Tally tally;
    bool written = true;
    const bool read = read_blocks(input, path, {scan.max_block, {}}, [&](const Found &f) {
        if (f.kind == BlockReader::Result::skipped) {
            tally.skipped += f.skipped->to - f.skipped->from;
            report_skipped(input.name(), *f.skipped);
            return true;
        }
        ++tally.blocks;
        const std::vector<Problem> problems = block_problems(f, check_stream(*f.block, {}), schema);
        if (!problems.empty()) {
            tally.problems += problems.size();
            report_all(input.name(), problems);
            return true;
        }
        ++tally.good;
        tally.bytes += f.block->size;
        written = out.write({f.block->bytes, f.block->size}, error);
        return written;
    });
    if (!written || (read && !out.commit(error))) {
        print_error(out.name() + ": " + error);
        return kExitInvalid;
    }
    if (!read) return kExitInvalid;
    print_error(input.name() + ": " + tally.closing_line() +
                (tally.problems == 0 ? ", all kept"
                                     : "; kept " + counted(tally.good, "block") + ", " +
                                           counted(tally.bytes, "byte")));
    return 0;
}

} // namespace vok::tool
