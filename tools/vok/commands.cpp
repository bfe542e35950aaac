#include "commands.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "block_reader.hpp"
#include "codegen.hpp"
#include "input.hpp"
#include "json_line.hpp"
#include "output_file.hpp"
#include "packer.hpp"
#include "record_json.hpp"
#include "schema_compat.hpp"
#include "schema_file.hpp"
#include "system.hpp"
#include "tags.hpp"
#include "wording.hpp"

namespace vok::tool {

namespace {

void print_error(const std::string &text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void report(const std::string &name, const Problem &problem) {
    print_error(name + ": block at offset " + std::to_string(problem.block) + ": byte " +
                std::to_string(problem.offset) + ": " + problem.message);
}

// Writes out what the sink holds; false (and a message) if any of it failed.
bool close_output(Sink &out) {
    const int error = out.close();
    if (error != 0)
        print_error("vok: cannot write to standard output: " + std::string(std::strerror(error)));
    return error == 0;
}

// Opens the input and hands its blocks to visit (see visit_blocks); false,
// with a message, if the input could not be opened or read.
bool read_blocks(Input &input, const std::string &path,
                 const std::function<bool(const Block &)> &visit) {
    std::string error;
    if (input.open(path, error)) {
        BlockReader reader(input);
        if (visit_blocks(reader, visit, error)) return true;
    }
    print_error(input.name() + ": " + error);
    return false;
}

void report_pack_error(const std::string &name, const PackError &e) {
    print_error(name + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " +
                e.message);
}

// Feeds every line to the packer and writes each block as it is finished.
bool pack_lines(Input &input, Packer &packer, OutputFile &out) {
    LineReader lines(input);
    std::string_view line;
    std::string error;
    for (;;) {
        const LineReader::Result result = lines.next(line, error);
        if (result == LineReader::Result::error) {
            print_error(input.name() + ": " + error);
            return false;
        }
        const bool ok =
            result == LineReader::Result::line ? packer.add_line(line) : packer.finish();
        if (!ok) {
            report_pack_error(input.name(), packer.error());
            return false;
        }
        if (!out.write(packer.finished_block(), error)) {
            print_error(out.name() + ": " + error);
            return false;
        }
        if (result == LineReader::Result::end) return true;
    }
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

// One block, listed: as a record with a schema and JSON, else its entries.
std::vector<Problem> list_block(const Block &block, Sink &out, const DumpOptions &options) {
    if (options.schema == nullptr || !options.json) return dump_stream(block, out, options);
    Sink ignored; // the frame's problems, reported as dump reports them
    std::vector<Problem> problems = dump_stream(block, ignored, {});
    Problem refused;
    if (problems.empty() && !write_record_json(out, block, *options.schema, refused))
        problems.push_back(refused);
    return problems;
}

namespace {

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

} // namespace

int run_dump(const std::string &path, const DumpOptions &options, const BlockChoice &choice) {
    Sink out(stdout);
    Input input;
    std::vector<Problem> problems;
    uint64_t blocks = 0, last_start = 0, end = 0;
    bool found = !choice.index && !choice.offset;
    const bool read = read_blocks(input, path, [&](const Block &block) {
        if (choice.offset && block.offset > *choice.offset) return false; // passed it
        const uint64_t index = blocks++;
        if (found) {
            problems = list_block(block, out, options_for(block, options, input.name()));
            return problems.empty();
        }
        if (index == choice.index || block.offset == choice.offset) { // listed, then done
            problems = list_block(block, out, options_for(block, options, input.name()));
            found = true;
            return false;
        }
        last_start = block.offset;
        end = block.offset + block.size;
        return block.size != 0;
    });
    const bool written = close_output(out);
    for (const Problem &p : problems)
        report(input.name(), p);
    if (read && !found)
        print_error(input.name() + ": " + missing_block(choice, blocks, last_start, end));
    return read && written && found && problems.empty() ? 0 : kExitInvalid;
}

int run_check(const std::string &path, const CheckExpectations &expected, bool json,
              Verbosity verbosity, const vokxSchema *schema) {
    Sink out(stdout);
    CheckPrinter printer(out, json, verbosity);
    Input input;
    bool good = true, records = true;
    const bool read = read_blocks(input, path, [&](const Block &block) {
        const CheckReport result = check_stream(block, expected);
        good = result.problems.empty();
        if (!good) {
            // By schema, a record refused before the broken item is named as
            // dump --schema and the library's reader name it.
            Problem first = result.problems.front();
            if (Problem refused; schema != nullptr && !check_record(block, *schema, refused) &&
                                 refused.offset < first.offset)
                first = refused;
            report(input.name(), first);
            printer.fail(first);
            return false;
        }
        // A block that breaks the schema is reported; the next is checked too.
        if (Problem refused; schema != nullptr && !check_record(block, *schema, refused)) {
            report(input.name(), refused);
            printer.fail(refused);
            records = false;
        }
        if (result.warning && verbosity != Verbosity::quiet) {
            const Problem warning{result.offset, "warning: " + *result.warning, result.offset};
            report(input.name(), warning);
            printer.warn({result.offset, *result.warning, result.offset});
        }
        printer.add(result);
        return true;
    });
    if (read && good && records) printer.finish();
    const bool written = close_output(out);
    return read && good && records && written ? 0 : kExitInvalid;
}

// Records as JSON: one object per line, or one JSON array of them.
bool pack_records(Input &input, const vokxSchema &schema, OutputFile &out) {
    LineReader lines(input);
    std::string_view line;
    std::string error;
    std::vector<uint8_t> block;
    for (size_t number = 1;; ++number) {
        const LineReader::Result result = lines.next(line, error);
        if (result == LineReader::Result::error) {
            print_error(input.name() + ": " + error);
            return false;
        }
        if (result == LineReader::Result::end) return true;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
        nlohmann::json parsed;
        if (NotationError refused; !parse_json_line(line, parsed, refused)) {
            print_error(input.name() + ":" + std::to_string(number) + ":" +
                        std::to_string(refused.column) + ": " + refused.message);
            return false;
        }
        const size_t count = parsed.is_array() ? parsed.size() : 1;
        for (size_t i = 0; i < count; ++i) {
            const std::string where = input.name() + ":" + std::to_string(number) +
                                      (parsed.is_array() ? ": record " + std::to_string(i) : "");
            if (!pack_record_json(parsed.is_array() ? parsed[i] : parsed, schema, block, error)) {
                print_error(where + ": " + error);
                return false;
            }
            if (!out.write(block, error)) {
                print_error(out.name() + ": " + error);
                return false;
            }
        }
    }
}

int run_pack(const std::string &path, const std::string &output, bool json,
             const vokxSchema *schema) {
    if ((output.empty() || output == "-") && sys::is_terminal(STDOUT_FILENO)) {
        print_error("vok pack: not writing a binary stream to a terminal; use -o FILE or redirect "
                    "the output");
        return kExitUsage;
    }
    std::string error;
    Input input;
    if (!input.open(path, error)) {
        print_error(input.name() + ": " + error);
        return kExitInvalid;
    }
    OutputFile out;
    if (!out.open(output, error)) {
        print_error(out.name() + ": " + error);
        return kExitInvalid;
    }
    Packer packer(json);
    if (schema != nullptr ? !pack_records(input, *schema, out) : !pack_lines(input, packer, out))
        return kExitInvalid;
    if (!out.commit(error)) {
        print_error(out.name() + ": " + error);
        return kExitInvalid;
    }
    return 0;
}

int run_gen(const std::string &language, const vokxSchema &schema, const std::string &schema_path,
            const std::string &directory, const std::string &name_space) {
    const size_t slash = schema_path.find_last_of("/\\");
    const CodegenOptions options{
        slash == std::string::npos ? schema_path : schema_path.substr(slash + 1), name_space};
    std::vector<GeneratedFile> files;
    std::string error;
    if (!(language == "c" ? generate_c(schema, options, files, error)
                          : generate_cpp(schema, options, files, error))) {
        print_error(schema_path + ": " + error);
        return kExitInvalid;
    }
    if (std::error_code made; !std::filesystem::create_directories(directory, made) && made) {
        print_error(directory + ": cannot create the folder: " + made.message());
        return kExitInvalid;
    }
    for (const GeneratedFile &file : files) {
        OutputFile out;
        const auto *bytes = reinterpret_cast<const uint8_t *>(file.text.data());
        const std::string path = directory + "/" + file.name;
        if (!out.open(path, error) || !out.write({bytes, file.text.size()}, error) ||
            !out.commit(error)) {
            print_error(path + ": " + error);
            return kExitInvalid;
        }
    }
    return 0;
}

namespace {

void describe_field(Sink &out, const vokxFieldSpec &f, const char *indent) {
    out << indent << f.name << " (mark " << std::to_string(f.mark) << "): " << kind_word(f.kind);
    if ((f.flags & VOKX_REPEATED) != 0) out << ", repeated, max " << std::to_string(f.max);
    if ((f.flags & VOKX_OPTIONAL) != 0) out << ", optional";
    if (f.detail != nullptr && f.detail->has_default != 0) out << ", with a default";
    out << "\n";
}

} // namespace

int run_schema_check(const std::string &path) {
    SchemaFile file;
    std::string error;
    if (!file.load(path, error)) {
        print_error(error);
        return kExitInvalid;
    }
    const vokxSchema &s = file.schema();
    Sink out(stdout);
    out << s.name << ": stream type " << std::to_string(s.type) << ", version "
        << std::to_string(s.version) << ", " << std::to_string(s.field_count)
        << (s.field_count == 1 ? " field, " : " fields, ") << std::to_string(s.group_count)
        << (s.group_count == 1 ? " group\n" : " groups\n");
    for (uint32_t i = 0; i < s.field_count; ++i)
        describe_field(out, s.fields[i], "  ");
    for (uint32_t g = 0; g < s.group_count; ++g) {
        const vokxGroupSpec &group = s.groups[g];
        out << "  " << group.name << " (phrase " << std::to_string(group.phrase) << "): group";
        if ((group.flags & VOKX_REPEATED) != 0)
            out << ", repeated, max " << std::to_string(group.max);
        if ((group.flags & VOKX_OPTIONAL) != 0) out << ", optional";
        out << "\n";
        for (uint32_t i = 0; i < group.field_count; ++i)
            describe_field(out, group.fields[i], "    ");
    }
    return close_output(out) ? 0 : kExitInvalid;
}

int run_schema_compat(const std::string &old_path, const std::string &new_path) {
    SchemaFile was, now;
    std::string error;
    if (!was.load(old_path, error) || !now.load(new_path, error)) {
        print_error(error);
        return kExitInvalid;
    }
    const std::vector<SchemaChange> changes = compare_schemas(was.schema(), now.schema());
    bool compatible = true;
    for (const SchemaChange &c : changes)
        compatible = compatible && c.new_reads_old && c.old_reads_new;
    // A reader tells versions apart by their numbers: a change that breaks
    // either direction needs a new one, and an older number cannot follow.
    const uint32_t from = was.schema().version, to = now.schema().version;
    const char *version_verdict =
        to < from                   ? ": incompatible (the version goes down)"
        : to == from && !compatible ? ": incompatible (a change that breaks a direction keeps the "
                                      "same version)"
                                    : "";
    Sink out(stdout);
    out << "version: " << std::to_string(from) << " -> " << std::to_string(to) << version_verdict
        << "\n";
    for (const SchemaChange &c : changes)
        for (const auto &[ok, direction] : {std::pair(c.new_reads_old, "new reads old"),
                                            std::pair(c.old_reads_new, "old reads new")})
            out << c.path << ": " << c.change << ": " << (ok ? "compatible" : "incompatible")
                << " (" << direction << ")\n";
    const bool written = close_output(out);
    return compatible && *version_verdict == '\0' && written ? 0 : kExitInvalid;
}

} // namespace vok::tool
