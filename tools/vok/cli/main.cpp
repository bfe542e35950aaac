// The cli part: the command line (this file) and the commands behind it
// (commands.hpp), which read options, open inputs and outputs, and report
// on standard error.  It is the only part that uses all the others.
//
// vok: lists, checks and builds vok32 streams from the command line.
//   vok dump  [FILE|-] [--full|--short] [--json] [--block N|--offset N] [--schema SCHEMA]
//             [--first] [--max-block BYTES]
//   vok check [FILE|-] [--type T] [--version V] [--json] [--verbose|--quiet] [--schema SCHEMA]
//             [--first] [--max-block BYTES]
//   vok pack  [FILE|-] [-o OUT] [--json [--schema SCHEMA]]
//   vok salvage [FILE|-] [-o OUT] [--schema SCHEMA] [--max-block BYTES]
//   vok schema check FILE
//   vok schema compat OLD NEW
//   vok gen c|cpp SCHEMA -o DIR [--namespace NS]
//   vok --version
// A file may hold any number of blocks back to back.
// Exit status: 0 success, 1 invalid input or a failed read or write, 2 usage.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <unistd.h>

#include "commands.hpp"
#include "input.hpp"
#include "schema_file.hpp"
#include "system.hpp"
#include "vok32x.h"

namespace {

using namespace vok::tool;

struct Options {
    std::string path = "-";
    DumpOptions dump;
    bool full = false;
    bool shorten = false;
    CheckExpectations expected;
    BlockChoice block;
    std::string block_offset;
    bool verbose = false;
    bool quiet = false;
    std::string output;
    bool pack_json = false;
    bool check_json = false;
    ScanOptions scan;
    uint64_t max_block = ScanRules::kDefaultMaxBlock; // 4 GiB: no block is larger
    std::string schema_path;                          // --schema of dump, check and pack
    std::string old_schema, new_schema, schema_file;
    std::string language, output_dir, name_space;
};

// The options of the commands that go on past damage.
void add_scan_options(CLI::App *command, Options &o, bool first) {
    if (first) command->add_flag("--first", o.scan.first, "Stop at the first problem");
    command
        ->add_option("--max-block", o.max_block,
                     "The largest block to accept, in bytes (default 16 MiB; suffixes such as "
                     "KiB, MiB and GiB work, 4GiB allows any); a length field above it is damage")
        ->transform(CLI::AsSizeValue(false))
        ->check(CLI::Range(uint64_t{9}, uint64_t{1} << 32));
}

CLI::App *add_dump(CLI::App &app, Options &o) {
    CLI::App *dump = app.add_subcommand("dump", "List blocks, one item per line, in the text "
                                                "notation that pack reads");
    dump->add_option("file", o.path, "Blocks to list, - for standard input (the default)");
    auto *full_flag = dump->add_flag("--full", o.full, "Never shorten long strings");
    dump->add_flag("--short", o.shorten, "Shorten long strings even when not writing to a terminal")
        ->excludes(full_flag);
    dump->add_flag("--json", o.dump.json, "One JSON object per line instead of the notation");
    dump->add_option("--schema", o.schema_path,
                     "Label marks with their field names; with --json, one record per line");
    auto *index = dump->add_option("--block", o.block.index, "List only the N-th block (from 0)");
    dump->add_option("--offset", o.block_offset,
                     "List only the block that starts at this offset (decimal or 0x...)")
        ->excludes(index);
    add_scan_options(dump, o, true);
    return dump;
}

CLI::App *add_check(CLI::App &app, Options &o) {
    CLI::App *check = app.add_subcommand("check", "Check the structure of blocks completely");
    check->add_option("file", o.path, "Blocks to check, - for standard input (the default)");
    auto *schema = check->add_option("--schema", o.schema_path,
                                     "Check every block as a record of this schema too");
    check->add_option("--type", o.expected.type, "Expected stream type (a difference fails)")
        ->excludes(schema)
        ->check(CLI::Range(0, 255));
    check
        ->add_option("--version", o.expected.version,
                     "Expected version (an older or newer one is a warning)")
        ->excludes(schema);
    check->add_flag("--json", o.check_json, "One JSON object per block instead of the summary");
    auto *verbose = check->add_flag("--verbose", o.verbose,
                                    "A line for every block and skipped range, bad ones marked");
    check
        ->add_flag("--quiet", o.quiet,
                   "Nothing on success; otherwise only the problems and the closing line")
        ->excludes(verbose);
    add_scan_options(check, o, true);
    return check;
}

CLI::App *add_pack(CLI::App &app, Options &o) {
    CLI::App *pack = app.add_subcommand("pack", "Build blocks from their text notation");
    pack->add_option("file", o.path, "Notation to read, - for standard input (the default)");
    pack->add_option("-o,--output", o.output,
                     "Where to write the blocks (default: standard output)");
    auto *json = pack->add_flag("--json", o.pack_json, "Read the JSON lines of dump --json");
    pack->add_option(
            "--schema", o.schema_path,
            "With --json: read records (dump --schema --json) and write them by this schema")
        ->needs(json);
    return pack;
}

CLI::App *add_salvage(CLI::App &app, Options &o) {
    CLI::App *salvage = app.add_subcommand(
        "salvage", "Copy every well-formed block of a damaged input, saying what was dropped");
    salvage->add_option("file", o.path, "Blocks to read, - for standard input (the default)");
    salvage->add_option("-o,--output", o.output,
                        "Where to write the blocks kept (default: standard output)");
    salvage->add_option("--schema", o.schema_path,
                        "Keep only the blocks that are records of this schema too");
    add_scan_options(salvage, o, false);
    return salvage;
}

CLI::App *add_schema(CLI::App &app, Options &o) {
    CLI::App *schema = app.add_subcommand("schema", "Work with schema files");
    schema->require_subcommand(1);
    CLI::App *check =
        schema->add_subcommand("check", "Check a schema file and print what it describes");
    check->add_option("file", o.schema_file, "The schema file")->required();
    CLI::App *compat = schema->add_subcommand(
        "compat", "Whether records read across two versions of a schema, both ways");
    compat->add_option("old", o.old_schema, "The schema records were written with")->required();
    compat->add_option("new", o.new_schema, "The schema that replaces it")->required();
    return schema;
}

CLI::App *add_gen(CLI::App &app, Options &o) {
    CLI::App *gen = app.add_subcommand("gen", "Generate C or C++ records code from a schema file");
    gen->add_option("language", o.language, "c (order.vok.h and .c) or cpp (order.vok.hpp)")
        ->required()
        ->check(CLI::IsMember({"c", "cpp"}));
    gen->add_option("schema", o.schema_path, "The schema file")->required();
    gen->add_option("-o,--output", o.output_dir, "The folder to write into")->required();
    gen->add_option("--namespace", o.name_space,
                    "C++: the namespace (default: the name in lower case)");
    return gen;
}

// Decimal, or hexadecimal after 0x: what the listings print.
bool parse_offset(const std::string &text, std::optional<uint64_t> &offset) {
    const bool is_hex =
        text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0);
    const char *digits = text.c_str() + (is_hex ? 2 : 0);
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits, &end, is_hex ? 16 : 10);
    if (text[0] == '-' || text[0] == '+' || *end != '\0' || end == digits || errno != 0) {
        std::fprintf(stderr, "vok dump: --offset takes a decimal or 0x... number, not '%s'\n",
                     text.c_str());
        return false;
    }
    offset = value;
    return true;
}

int run_dump_command(Options &o) {
    if (!o.block_offset.empty() && !parse_offset(o.block_offset, o.block.offset)) return kExitUsage;
    // Listings for people are shortened; output for another program (pack in
    // a pipe, say) is complete unless asked otherwise.
    if (o.shorten || (!o.full && sys::is_terminal(STDOUT_FILENO)))
        o.dump.notation.shorten_above = 64;
    return run_dump(o.path, o.dump, o.block, o.scan);
}

// CLI11 reports an unknown word in place of the subcommand as a missing
// subcommand; name it instead.
bool known_subcommand(int argc, char **argv, const CLI::App &app) {
    if (argc < 2 || argv[1][0] == '-') return true;
    for (const CLI::App *sub : app.get_subcommands({}))
        if (sub->check_name(argv[1])) return true;
    std::fprintf(stderr,
                 "vok: unknown subcommand '%s' (expected dump, check, pack, salvage, schema or "
                 "gen); see vok --help\n",
                 argv[1]);
    return false;
}

int run(int argc, char **argv) {
    CLI::App app{"vok: list, check and build vok32 streams"};
    app.require_subcommand(1);
    // Paths such as /tmp/x are arguments, not Windows-style options.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", vokxVersion());
    Options o;
    CLI::App *dump = add_dump(app, o);
    CLI::App *check = add_check(app, o);
    add_pack(app, o);
    CLI::App *salvage = add_salvage(app, o);
    CLI::App *schema_command = add_schema(app, o);
    CLI::App *gen = add_gen(app, o);
    if (!known_subcommand(argc, argv, app)) return kExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    o.scan.max_block = static_cast<uint32_t>(std::min<uint64_t>(o.max_block, UINT32_MAX));
    if (gen->parsed() && o.language == "c" && gen->count("--namespace") != 0) {
        std::fprintf(stderr,
                     "vok gen: --namespace is for C++ (vok gen cpp); C has no namespaces\n");
        return kExitUsage;
    }
    SchemaFile schema;
    if (!o.schema_path.empty()) {
        std::string error;
        if (!schema.load(o.schema_path, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitInvalid;
        }
        o.dump.schema = &schema.schema();
    }
    if (dump->parsed()) return run_dump_command(o);
    if (check->parsed()) {
        const Verbosity verbosity = o.quiet     ? Verbosity::quiet
                                    : o.verbose ? Verbosity::verbose
                                                : Verbosity::normal;
        if (o.dump.schema != nullptr) { // the schema says what to expect
            o.expected.type = static_cast<uint8_t>(o.dump.schema->type);
            o.expected.version = o.dump.schema->version;
        }
        return run_check(o.path, o.expected, o.check_json, verbosity, o.dump.schema, o.scan);
    }
    if (salvage->parsed()) return run_salvage(o.path, o.output, o.dump.schema, o.scan);
    if (schema_command->parsed())
        return schema_command->got_subcommand("check")
                   ? run_schema_check(o.schema_file)
                   : run_schema_compat(o.old_schema, o.new_schema);
    if (gen->parsed())
        return run_gen(o.language, schema.schema(), o.schema_path, o.output_dir, o.name_space);
    return run_pack(o.path, o.output, o.pack_json, o.dump.schema);
}

} // namespace

int main(int argc, char **argv) {
    sys::guard_standard_descriptors();
    sys::use_binary_standard_streams();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fputs("vok: not enough memory\n", stderr);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vok: %s\n", e.what());
    }
    return kExitInvalid;
}
