#include "commands.hpp"

#include <filesystem>
#include <unistd.h>

#include "codegen.hpp"
#include "input.hpp"
#include "output_file.hpp"
#include "packer.hpp"
#include "record_packer.hpp"
#include "reporting.hpp"
#include "schema_compat.hpp"
#include "schema_file.hpp"
#include "system.hpp"

namespace vok::tool {

namespace {

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

// Records as JSON: one object per line, or one JSON array of them.  What
// dump --schema --json writes for a block it could not read as a record is
// passed over, with a warning, so that dump | pack keeps the good ones.
bool pack_records(Input &input, const vokxSchema &schema, OutputFile &out) {
    LineReader lines(input);
    RecordPacker records(schema);
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
        if (NotationError refused; !records.parse(line, refused)) {
            print_error(input.name() + ":" + std::to_string(number) + ":" +
                        std::to_string(refused.column) + ": " + refused.message);
            return false;
        }
        for (size_t i = 0; i < records.size(); ++i) {
            // Made only for a message: a line is packed without formatting any.
            const auto where = [&] {
                return input.name() + ":" + std::to_string(number) +
                       (records.is_array() ? ": record " + std::to_string(i) : "");
            };
            if (const auto offset = records.refused_by_dump(i)) {
                print_error(where() + ": warning: skipped a block dump could not read as a record" +
                            (offset->empty() ? "" : " (at offset " + *offset + ")"));
                continue;
            }
            if (!records.pack(i, block, error)) {
                print_error(where() + ": " + error);
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
