// vok: lists, checks and builds vok32 streams from the command line.
//   vok dump  [FILE|-] [--full|--short] [--json]
//   vok check FILE [--type T] [--version V]
//   vok pack  [FILE|-] [-o OUT]
// Exit status: 0 success, 1 invalid input, 2 usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "checker.hpp"
#include "dumper.hpp"
#include "input_file.hpp"
#include "packer.hpp"

namespace {

using namespace vok::tool;

constexpr int kExitInvalid = 1;
constexpr int kExitUsage = 2;

std::string display_name(const std::string &path) { return path == "-" ? "<stdin>" : path; }

void report(const std::string &path, const Problem &problem) {
    std::fprintf(stderr, "%s: offset %llu: %s\n", display_name(path).c_str(),
                 static_cast<unsigned long long>(problem.offset), problem.message.c_str());
}

bool open_input(const std::string &path, InputFile &input) {
    std::string error;
    if (input.open(path, error)) return true;
    std::fprintf(stderr, "%s: %s\n", display_name(path).c_str(), error.c_str());
    return false;
}

int run_dump(const std::string &path, bool full, bool shorten, bool json) {
    InputFile input;
    if (!open_input(path, input)) return kExitInvalid;
    DumpOptions options;
    options.json = json;
    // Listings for people are shortened; output for another program (pack
    // in a pipe, say) is complete unless asked otherwise.
    if (shorten || (!full && isatty(STDOUT_FILENO))) options.notation.shorten_above = 64;
    std::vector<Problem> problems;
    {
        Sink out(stdout);
        problems = dump_stream(input.bytes(), out, options);
    }
    std::fflush(stdout);
    for (const Problem &p : problems)
        report(path, p);
    return problems.empty() ? 0 : kExitInvalid;
}

int run_check(const std::string &path, const CheckExpectations &expected) {
    InputFile input;
    if (!open_input(path, input)) return kExitInvalid;
    const CheckReport result = check_stream(input.bytes(), expected);
    if (!result.problems.empty()) {
        report(path, result.problems.front());
        return kExitInvalid;
    }
    if (result.warning)
        std::fprintf(stderr, "%s: warning: %s\n", display_name(path).c_str(),
                     result.warning->c_str());
    std::printf("%s\n", summary_line(result).c_str());
    return 0;
}

int run_pack(const std::string &path, const std::string &output) {
    if (output.empty() && isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "vok pack: not writing a binary stream to a terminal; "
                             "use -o FILE or redirect the output\n");
        return kExitUsage;
    }
    std::FILE *in = path == "-" ? stdin : std::fopen(path.c_str(), "r");
    if (in == nullptr) {
        std::perror(path.c_str());
        return kExitInvalid;
    }
    Packer packer;
    char *line = nullptr;
    size_t room = 0;
    bool ok = true;
    for (ssize_t got; ok && (got = getline(&line, &room, in)) >= 0;) {
        std::string_view text(line, static_cast<size_t>(got));
        if (text.ends_with('\n')) text.remove_suffix(1);
        ok = packer.add_line(text);
    }
    std::free(line);
    if (in != stdin) std::fclose(in);
    if (ok) ok = packer.finish();
    if (!ok) {
        const PackError &e = packer.error();
        std::fprintf(stderr, "%s:%zu:%zu: %s\n", display_name(path).c_str(), e.line, e.column,
                     e.message.c_str());
        return kExitInvalid;
    }
    std::FILE *out = output.empty() || output == "-" ? stdout : std::fopen(output.c_str(), "wb");
    if (out == nullptr) {
        std::perror(output.c_str());
        return kExitInvalid;
    }
    const auto block = packer.block();
    const bool written = std::fwrite(block.data(), 1, block.size(), out) == block.size();
    if ((out == stdout ? std::fflush(out) : std::fclose(out)) != 0 || !written) {
        std::perror(output.empty() ? "standard output" : output.c_str());
        return kExitInvalid;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"vok: list, check and build vok32 streams"};
    app.require_subcommand(1);

    std::string dump_path = "-";
    bool full = false;
    bool shorten = false;
    bool json = false;
    CLI::App *dump = app.add_subcommand("dump", "List a stream, one item per line, in the text "
                                                "notation that pack reads");
    dump->add_option("file", dump_path, "Stream to list, - for standard input");
    auto *full_flag = dump->add_flag("--full", full, "Never shorten long strings");
    dump->add_flag("--short", shorten, "Shorten long strings even when not writing to a terminal")
        ->excludes(full_flag);
    dump->add_flag("--json", json, "One JSON object per line instead of the notation");

    std::string check_path;
    CheckExpectations expected;
    CLI::App *check = app.add_subcommand("check", "Check a stream's structure completely");
    check->add_option("file", check_path, "Stream to check, - for standard input")->required();
    check->add_option("--type", expected.type, "Expected stream type (a difference fails)")
        ->check(CLI::Range(0, 255));
    check->add_option("--version", expected.version,
                      "Expected version (an older or newer one is a warning)");

    std::string pack_path = "-";
    std::string output;
    CLI::App *pack = app.add_subcommand("pack", "Build a stream from its text notation");
    pack->add_option("file", pack_path, "Notation to read, - for standard input");
    pack->add_option("-o,--output", output, "Where to write the stream (default: standard output)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }
    if (dump->parsed()) return run_dump(dump_path, full, shorten, json);
    if (check->parsed()) return run_check(check_path, expected);
    return run_pack(pack_path, output);
}
