// vok: lists, checks and builds vok32 streams from the command line.
//   vok dump  [FILE|-] [--full|--short] [--json] [--block N|--offset N]
//   vok check [FILE|-] [--type T] [--version V] [--json] [--verbose|--quiet]
//   vok pack  [FILE|-] [-o OUT] [--json]
//   vok --version
// A file may hold any number of blocks back to back.
// Exit status: 0 success, 1 invalid input or a failed read or write, 2 usage.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <unistd.h>

#include "commands.hpp"
#include "input.hpp"
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
};

CLI::App *add_dump(CLI::App &app, Options &o) {
    CLI::App *dump = app.add_subcommand("dump", "List blocks, one item per line, in the text "
                                                "notation that pack reads");
    dump->add_option("file", o.path, "Blocks to list, - for standard input (the default)");
    auto *full_flag = dump->add_flag("--full", o.full, "Never shorten long strings");
    dump->add_flag("--short", o.shorten, "Shorten long strings even when not writing to a terminal")
        ->excludes(full_flag);
    dump->add_flag("--json", o.dump.json, "One JSON object per line instead of the notation");
    auto *index = dump->add_option("--block", o.block.index, "List only the N-th block (from 0)");
    dump->add_option("--offset", o.block_offset,
                     "List only the block that starts at this offset (decimal or 0x...)")
        ->excludes(index);
    return dump;
}

CLI::App *add_check(CLI::App &app, Options &o) {
    CLI::App *check = app.add_subcommand("check", "Check the structure of blocks completely");
    check->add_option("file", o.path, "Blocks to check, - for standard input (the default)");
    check->add_option("--type", o.expected.type, "Expected stream type (a difference fails)")
        ->check(CLI::Range(0, 255));
    check->add_option("--version", o.expected.version,
                      "Expected version (an older or newer one is a warning)");
    check->add_flag("--json", o.check_json, "One JSON object per block instead of the summary");
    auto *verbose = check->add_flag("--verbose", o.verbose, "A line for every good block too");
    check->add_flag("--quiet", o.quiet, "Nothing on success, only the problem otherwise")
        ->excludes(verbose);
    return check;
}

CLI::App *add_pack(CLI::App &app, Options &o) {
    CLI::App *pack = app.add_subcommand("pack", "Build blocks from their text notation");
    pack->add_option("file", o.path, "Notation to read, - for standard input (the default)");
    pack->add_option("-o,--output", o.output,
                     "Where to write the blocks (default: standard output)");
    pack->add_flag("--json", o.pack_json, "Read the JSON lines of dump --json");
    return pack;
}

// CLI11 reports an unknown word in place of the subcommand as a missing
// subcommand; name it instead.
bool known_subcommand(int argc, char **argv, const CLI::App &app) {
    if (argc < 2 || argv[1][0] == '-') return true;
    for (const CLI::App *sub : app.get_subcommands({}))
        if (sub->check_name(argv[1])) return true;
    std::fprintf(stderr,
                 "vok: unknown subcommand '%s' (expected dump, check or pack); see vok --help\n",
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
    if (!known_subcommand(argc, argv, app)) return kExitUsage;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    if (dump->parsed() && !o.block_offset.empty()) {
        // Decimal, or hexadecimal after 0x: what the listings print.
        const std::string &text = o.block_offset;
        const bool is_hex =
            text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0);
        char *end = nullptr;
        errno = 0;
        const unsigned long long offset =
            std::strtoull(text.c_str() + (is_hex ? 2 : 0), &end, is_hex ? 16 : 10);
        if (text[0] == '-' || text[0] == '+' || *end != '\0' ||
            end == text.c_str() + (is_hex ? 2 : 0) || errno != 0) {
            std::fprintf(stderr, "vok dump: --offset takes a decimal or 0x... number, not '%s'\n",
                         text.c_str());
            return kExitUsage;
        }
        o.block.offset = offset;
    }
    if (dump->parsed()) {
        // Listings for people are shortened; output for another program
        // (pack in a pipe, say) is complete unless asked otherwise.
        if (o.shorten || (!o.full && sys::is_terminal(STDOUT_FILENO)))
            o.dump.notation.shorten_above = 64;
        return run_dump(o.path, o.dump, o.block);
    }
    if (check->parsed()) {
        const Verbosity verbosity = o.quiet     ? Verbosity::quiet
                                    : o.verbose ? Verbosity::verbose
                                                : Verbosity::normal;
        return run_check(o.path, o.expected, o.check_json, verbosity);
    }
    return run_pack(o.path, o.output, o.pack_json);
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
