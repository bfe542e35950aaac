// End-to-end runs of the vok binary through bash: exit codes and messages,
// failed reads and writes, inputs of every kind, bounded memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>

#include "vok32x.h"

namespace {

namespace fs = std::filesystem;

// Runs a bash command with the vok built beside this test first on the path,
// in a scratch folder holding ok.bin (one block) and two.bin (two blocks);
// gives the exit status and everything printed.
std::pair<int, std::string> run(const std::string &command) {
    static const std::string dir =
        fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools/vok";
    static char scratch[] = "/tmp/vok_cli_XXXXXX";
    static const bool made =
        mkdtemp(scratch) != nullptr && std::atexit([] { fs::remove_all(scratch); }) == 0 &&
        std::system((std::string("cd ") + scratch +
                     " && printf '\\0\\0\\0\\15\\310\\7\\322\\3\\1\\324\\1\\54\\311' > ok.bin"
                     " && cat ok.bin ok.bin > two.bin")
                        .c_str()) == 0;
    EXPECT_TRUE(made);
    setenv("VOK_COMMAND", command.c_str(), 1);
    const std::string shell = "cd " + std::string(scratch) + " && PATH=" + dir +
                              ":$PATH exec bash -c \"$VOK_COMMAND\" 2>&1";
    FILE *pipe = popen(shell.c_str(), "r");
    std::string out;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        out.push_back(static_cast<char>(c));
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), out};
}

void expect_run(const std::string &command, int expected_status, const std::string &part) {
    SCOPED_TRACE(command);
    const auto [status, output] = run(command);
    EXPECT_EQ(status, expected_status);
    EXPECT_NE(output.find(part), std::string::npos) << output;
}

// A block of 256 MiB written as a sparse file: a UTF-8 string up to where
// the end marker should be, and a zero byte there instead.
const std::string kBigBlock =
    R"(printf '\20\0\0\0\310\1\322\0\350\17\377\377\362' > big.bin && truncate -s 256M big.bin; )";
// Notation whose first block (over 64 KiB, so it goes out at once) is
// written before pack meets the bad line after it.
const std::string kFailsAfterABlock =
    R"sh({ echo 'stream type 1 version 0'; printf 'utf8 "%s"\nend\nbogus\n' )sh"
    R"sh("$(head -c 70000 /dev/zero | tr '\0' a)"; } | )sh";
const std::string kEarlier = "printf 'important line\\n' > f; ";
const std::string kOne = "ok: 2 items, 0 phrases, 13 bytes (type 7, version 3)\n";
const std::string kTwo = "ok: 2 blocks, 26 bytes\n";

// Command, exit status, part of what it prints.
const std::tuple<std::string, int, std::string> kRuns[] = {
    {R"(printf 'stream type 7 version 3\nmark 1\nu 300\n' | vok pack | vok dump | vok pack |)"
     " vok check --type 7 --version 3",
     0, kOne},
    {"vok dump two.bin | vok pack | cmp - two.bin && vok check two.bin", 0, kTwo},
    {"vok check ok.bin --version 2", 0, "warning: version 3 is newer than the expected 2"},
    // Files of many blocks: a summary, a line per block when asked, or silence.
    {"vok check --verbose two.bin", 0,
     "offset 0: 2 items, 0 phrases, 13 bytes (type 7, version 3)\noffset 13: 2 items"},
    {R"sh(test -z "$(vok check --quiet --version 2 two.bin 2>&1)" && echo silent)sh", 0, "silent"},
    {"vok check --quiet --type 8 two.bin", 1, "byte 5: stream type 7, expected 8"},
    {"vok dump --block 1 two.bin | vok pack | cmp - ok.bin && vok dump --offset 0xd two.bin | "
     "vok pack | cmp - ok.bin && echo same",
     0, "same"},
    {"vok dump --offset 5 two.bin", 1,
     "no block starts at offset 5: the block at offset 0 runs to offset 13"},
    {"vok dump --block 2 two.bin", 1, "no block 2: the input holds 2 blocks"},
    {"vok dump --offset 0xz two.bin", 2, "--offset takes a decimal or 0x... number"},
    {R"(printf 'stream type 1 version 0\nsigned 5\n' | vok pack)", 1,
     "unknown item 'signed' (did you mean 's'?)"},
    {R"(printf 'stream type 1 version 0\nstrr "x"\n' | vok pack)", 1,
     "unknown item 'strr' (did you mean 'str'?)"},
    {R"(printf '{"kind":"stream","type":1,"version":0}\n{"kind":"u","value":1}' | vok pack --json)",
     1, R"(unknown "kind" "u" (did you mean "unsigned"?))"},
    {"vok check two.bin --type 8", 1,
     "two.bin: block at offset 0: byte 5: stream type 7, expected 8"},
    {R"({ cat ok.bin; printf '\0\0\0\13\310\7\322\3\1\4\4'; } | vok check)", 1,
     "<stdin>: block at offset 13: byte 23: no end marker"},
    {R"(printf 'stream type 1 version 0\nu x\n' | vok pack)", 1, "<stdin>:2:3: expected a value"},
    {R"(printf '\0\0\0\n\310\1\322\0\351\311' | vok dump)", 1,
     "<stdin>: block at offset 0: byte 8: byte 0xe9 cannot start an item"},
    {"vok check /nonexistent", 1, "/nonexistent: cannot open: No such file"},
    {"vok check --type 300 x", 2, "--type"},
    {"vok frob", 2, "unknown subcommand 'frob'"},
    {"vok --version", 0, std::string(vokxVersion()) + "\n"},
    {"vok dump --json two.bin | vok pack --json | cmp - two.bin && vok check --json two.bin", 0,
     R"({"offset":13,"kind":"block","length":13,"type":7,"version":3,"items":2,"phrases":0})"},
    {R"(echo '{"kind":"stream","type":1,"version":0}
{"kind":"mark","value":300}' | vok pack --json)",
     1, "<stdin>:2:1: \"value\" must be an integer from 0 to 199"},
    // A failed pack takes back what it wrote to standard output, and only that.
    {kFailsAfterABlock + "vok pack > f; test ! -s f && echo emptied", 0, "'bogus'\nemptied"},
    {kEarlier + kFailsAfterABlock +
         "vok pack >> f; printf 'important line\\n' | cmp - f && echo kept",
     0, "'bogus'\nkept"},
    {kEarlier + kFailsAfterABlock +
         "{ printf x; vok pack; } >> f; printf 'important line\\nx' | cmp - f && echo kept",
     0, "'bogus'\nkept"},
    {kEarlier + kFailsAfterABlock +
         "vok pack -o f; printf 'important line\\n' | cmp - f && ls f* | tr -d '\\n'; echo",
     0, "'bogus'\nf\n"},
    {"set -o pipefail; " + kFailsAfterABlock + "vok pack | cat > /dev/null", 1,
     "vok: output not rolled back: standard output: 70014 bytes were written"},
    // Every write is checked, the last flush included.
    {"vok dump ok.bin > /dev/full", 1, "cannot write to standard output: No space left"},
    {"vok check ok.bin >&-", 1, "cannot write to standard output: Bad file descriptor"},
    {"vok pack <<< 'stream type 1 version 0' > /dev/full", 1, "standard output: cannot write"},
    // A FIFO named as the output is written, not replaced.
    {"rm -f fifo; mkfifo fifo; (timeout 10 cat fifo > /dev/null &); "
     "vok pack -o fifo <<< 'stream type 7 version 3' && test -p fifo",
     0, ""},
    // One message for what cannot be read, whatever the subcommand.
    {"set -o pipefail; { vok dump /tmp || vok check /tmp || vok pack /tmp -o out; } 2>&1 | uniq -c",
     1, "3 /tmp: cannot read: Is a directory\n"},
    // Anything readable is read, standard input from where it stands.
    {"{ dd bs=1 count=13 of=/dev/null 2>/dev/null; vok check; } < two.bin", 0, kOne},
    {"vok check <(cat two.bin)", 0, kTwo},
    {"rm -f fifo; mkfifo fifo; cat two.bin > fifo & vok check fifo", 0, kTwo},
    // A file cut short while it is read ends early: a message, never a signal.
    {kBigBlock + "vok check big.bin & sleep 0.05; truncate -s 100 big.bin; wait $!; test $? -le 1",
     0, ""},
};

// Records by schema: the README's orders (version 2) beside the orders before
// amounts and lines were added (version 1), read both ways.
const std::string kV2 = VOK_SOURCE_DIR "/examples/order.schema.json";
const std::string kV1 = VOK_SOURCE_DIR "/tests/tool/order_v1.schema.json";
const std::string kOrders =
    R"(printf '%s\n' '{"id": 1, "customer": "Gr\u00fc\u00dfe", "amount": -5, "tags": ["a", )"
    R"({"hex": "00ff"}], "card": 16, "paid": true, "lines": [{"sku": "X1", "quantity": 2}]}' )"
    R"('{"id": 2, "customer": "B", "paid": false}' | vok pack --schema )" +
    kV2 + " --json";
const std::tuple<std::string, int, std::string> kRecordRuns[] = {
    {kOrders + " -o v2.bin && vok check --schema " + kV2 + " v2.bin", 0, "ok: 2 blocks, 70 bytes"},
    {kOrders + " | vok dump --schema " + kV2 + " --json | vok pack --schema " + kV2 +
         " --json | cmp - v2.bin && vok dump --schema " + kV2 + " v2.bin",
     0, "| mark 2  # customer\n"},
    // Version 1 reads version 2, passing over what it does not know, and the reverse.
    {"vok dump --schema " + kV1 + " --json v2.bin", 0,
     R"("paid":true,"$unknown":[{"offset":21,"size":1,"kind":"mark","value":3},)"},
    {R"(echo '{"id": 3, "customer": "", "paid": true}' | vok pack --json --schema )" + kV1 +
         " | vok check --schema " + kV2,
     0, "warning: version 1 is older than the expected 2"},
    {"vok schema compat " + kV1 + " " + kV2, 0,
     "amount: added optional field: compatible (new reads old)\n"
     "amount: added optional field: compatible (old reads new)\n"},
    {"vok schema compat " + kV2 + " " + kV1, 0, "lines: removed repeated group: compatible"},
    {R"(sed 's/"signed", "optional": true/"signed"/; s/"max": 8/"max": 9/' )" + kV2 +
         " > v3.json; vok schema compat " + kV1 + " v3.json | head -4; vok schema compat v3.json " +
         kV2,
     1,
     "amount: added required field: incompatible (new reads old)\namount: added required field: "
     "compatible (old reads new)\ntags: max raised from 8 to 9: compatible (new reads old)\ntags: "
     "max raised from 8 to 9: incompatible (old reads new)\namount: became optional: compatible "
     "(new reads old)\namount: became optional: incompatible (old reads new)\ntags: max lowered"},
    // Refusals name the block and the record's path (the line: Python's tests).
    {"vok check --schema " + kV2 + " --type 7 v2.bin", 2, "--schema excludes --type"},
    {R"(echo '{"id": x}' | vok pack --json --schema )" + kV2, 1,
     "<stdin>:1:8: not JSON: syntax error while parsing value - invalid literal"},
    // JSON lines nest at most 256 deep, records and items alike.
    {R"({ printf '{"$offset":'; head -c 300000 /dev/zero | tr '\0' '['; echo; } | )"
     "vok pack --json --schema " +
         kV2,
     1, "<stdin>:1:267: nested deeper than 256"},
    {R"(deep() { printf '{"kind":"%s","type":0,"version":0,"x":' $1; printf "%${2}s" | tr ' ' '['; )"
     R"(printf "%${2}s" | tr ' ' ']'; echo '}'; }; )"
     R"({ deep stream 255; deep end 255; } | vok pack --json | vok check && )"
     R"({ deep stream 1; deep end 256; } | vok pack --json)",
     1,
     "ok: 0 items, 0 phrases, 9 bytes (type 0, version 0)\n<stdin>:2:295: nested deeper than 256"},
    // vok gen bounds the C struct, keeps --namespace to C++, and makes its folder.
    {R"(echo '{"name": "Big", "type": 1, "version": 0, "fields": [{"mark": 1, "name": "s", )"
     R"("kind": "string", "repeated": true, "max": 268435456}]}' > big.json; )"
     "vok gen c big.json -o gen; vok gen cpp big.json -o new/folder && ls new/folder",
     0,
     "big.json: fields[0].max: makes sizeof(Big) at least 4294967304 bytes, above the "
     "16777216 a generated struct may take\nbig.vok.hpp\n"},
    {"vok gen c " + kV2 + " -o gen --namespace x", 2, "--namespace is for C++"},
    // A block of another stream type is listed without the schema's names.
    {R"(printf '\0\0\0\15\310\10\322\3\1\324\1\54\311' > t8.bin; vok dump --schema )" + kV2 +
         " t8.bin 2>&1 >/dev/null; vok dump --schema " + kV2 + " t8.bin 2>/dev/null",
     0,
     "byte 5: warning: stream type 8, not the schema's 7: listed without its names\n"
     "         0  00 00 00 0d c8 08 d2 03   | stream type 8 version 3  # 13 bytes\n"
     "         8  01                        | mark 1\n"},
    {R"(echo '{"name": "X", "type": 1, "version": 0, "fields": [{"mark": 1, "name": "a", )"
     R"("kind": "int"}]}' > bad.json; vok check --schema bad.json v2.bin)",
     1, R"(bad.json: fields[0].kind: unknown kind "int")"},
};

TEST(Cli, RecordsBySchema) {
    for (const auto &[command, status, part] : kRecordRuns)
        expect_run(command, status, part);
}

// The cases every implementation of records answers alike, and those the
// model made, through pack, dump and check by schema (a walk's refusal in
// the structural check's words).
class SharedVectors : public ::testing::TestWithParam<const char *> {};
INSTANTIATE_TEST_SUITE_P(Cli, SharedVectors,
                         ::testing::Values("records_vectors.json", "model/cases.json"));

TEST_P(SharedVectors, Hold) {
    std::ifstream file(VOK_SOURCE_DIR "/tests/" + std::string(GetParam()));
    const nlohmann::json vectors = nlohmann::json::parse(file);
    const std::string to_hex = " | od -An -v -tx1 | tr -d ' \\n'";
    const std::string from_hex = R"sh(printf "$(sed 's/../\\x&/g' <<< "$VOK_HEX")" | )sh";
    for (const nlohmann::json &c : vectors["write"]) {
        const std::string schema = VOK_SOURCE_DIR "/" + c["schema"].get<std::string>();
        setenv("VOK_RECORD", c["record"].dump().c_str(), 1);
        const auto [status, out] =
            run(R"(printf '%s\n' "$VOK_RECORD" | vok pack --json --schema )" + schema +
                (c.contains("bytes") ? to_hex : ""));
        const nlohmann::json &refusal = c.contains("refusal") ? c["refusal"] : nlohmann::json();
        const std::string expected = c.contains("bytes")
                                         ? c["bytes"].get<std::string>()
                                         : "<stdin>:1: " + refusal["path"].get<std::string>() +
                                               ": " + refusal.value("words", "") + "\n";
        EXPECT_EQ(refusal.contains("words") || c.contains("bytes")
                      ? out
                      : out.substr(0, expected.size() - 1) + "\n",
                  expected)
            << c;
    }
    for (const nlohmann::json &c : vectors["read"]) {
        const std::string schema = VOK_SOURCE_DIR "/" + c["schema"].get<std::string>();
        setenv("VOK_HEX", c["bytes"].get<std::string>().c_str(), 1);
        if (c.contains("record")) {
            nlohmann::json read =
                nlohmann::json::parse(run(from_hex + "vok dump --json --schema " + schema).second);
            for (const char *key : {"$type", "$version", "$offset", "$unknown"})
                read.erase(key);
            EXPECT_EQ(read, c["record"]);
            continue;
        }
        const nlohmann::json &refusal = c["refusal"];
        const std::string path = refusal["path"], name = refusal["status"];
        const auto [status, out] = run(from_hex + "vok check --schema " + schema);
        EXPECT_EQ(status, 1);
        EXPECT_NE(out.find("byte " + std::to_string(refusal["offset"].get<int>()) + ": " +
                           (path.empty() ? "" : path + ": ")),
                  std::string::npos)
            << out;
        EXPECT_TRUE(name == "VOK_INVALID_STREAM" ||
                    out.find("(" + name + ")") != std::string::npos);
    }
}

TEST(Cli, ExitCodesAndMessages) {
    for (const auto &[command, status, part] : kRuns)
        expect_run(command, status, part);
}

// A terminal whose other side has gone gives its bytes, then EIO: a read
// error in the middle of the input fails, and leaves no partial output.
TEST(Cli, AReadErrorFailsAndLeavesNoOutput) {
    int master = -1, side = -1;
    ASSERT_EQ(openpty(&master, &side, nullptr, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(side, &raw);
    cfmakeraw(&raw);
    tcsetattr(side, TCSANOW, &raw);
    const std::string text = "stream type 1 version 0\nu 1\nend\nstream type 2 version 0\n";
    ASSERT_EQ(write(side, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(side);
    expect_run("vok pack -o out.bin <&" + std::to_string(master), 1,
               "<stdin>: cannot read: Input/output error");
    close(master);
    EXPECT_EQ(run("ls | grep out").second, "");
}

TEST(Cli, MemoryFollowsTheBytesPresentNotTheLengthField) {
    // Under a sanitizer, vok cannot start under a limit: nothing to measure.
    if (run("ulimit -v 400000; vok --help").first != 0) GTEST_SKIP() << "no start under a limit";
    // One copy of the block fits, two do not.
    expect_run(kBigBlock + "ulimit -v 400000; vok check big.bin", 1,
               "byte 268435455: no end marker: the block's last byte is 0x00");
    expect_run(kBigBlock + "ulimit -v 100000; vok check big.bin", 1,
               "big.bin: offset 0: not enough memory for a block of 268435456 bytes");
    // What pack does not use is never built: 20 million ignored elements in
    // a 40 MB line, in 400 MB.
    expect_run(R"({ echo '{"kind":"stream","type":1,"version":0}'; printf '{"kind":"end","x":['; )"
               R"(yes '0,' | head -n 20000000 | tr -d '\n'; echo '0]}'; } | )"
               "(ulimit -v 400000; vok pack --json -o o.bin) && vok check o.bin",
               0, "ok: 0 items");
    // 300 blocks of 1 MiB through a pipe in 100 MB: memory follows one block.
    expect_run(R"(printf '\0\20\0\0\310\1\322\0\350\0\17\377\362' > mib.bin; )"
               R"(truncate -s 1048575 mib.bin; printf '\311' >> mib.bin; )"
               "yes mib.bin | head -300 | xargs cat | (ulimit -v 100000; vok check)",
               0, "ok: 300 blocks, 314572800 bytes");
    expect_run(R"(ulimit -v 100000; printf '\377\377\377\377\310' | vok dump)", 1,
               "says 4294967295 bytes but the input ends after 5 bytes");
    expect_run("{ echo 'stream type 1 version 0'; printf 'str \"'; head -c 200M /dev/zero; } | "
               "(ulimit -v 100000; vok pack -o nm.bin); ls nm.bin* || echo nothing left",
               0,
               "vok: not enough memory\nls: cannot access 'nm.bin*': No such file or directory\n"
               "nothing left");
    expect_run("{ echo 'stream type 1 version 0'; head -c 300M /dev/zero; } | vok pack -o long.bin",
               1, "<stdin>: line 2 is longer than 268435456 bytes");
}

} // namespace
