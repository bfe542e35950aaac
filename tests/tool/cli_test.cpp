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
// in a scratch folder holding ok.bin (one block) and two.bin (two blocks),
// with the functions of tool/runs.sh and the orders' schemas in $V1 and $V2;
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
    setenv("BASH_ENV", VOK_SOURCE_DIR "/tests/tool/runs.sh", 1);
    setenv("V1", VOK_SOURCE_DIR "/tests/tool/order_v1.schema.json", 1);
    setenv("V2", VOK_SOURCE_DIR "/examples/order.schema.json", 1);
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

// The runs of tool/runs.txt: command, exit status, the lines its output holds.
std::vector<std::tuple<std::string, int, std::string>> runs() {
    std::ifstream file(VOK_SOURCE_DIR "/tests/tool/runs.txt");
    std::vector<std::tuple<std::string, int, std::string>> out;
    for (std::string line; std::getline(file, line);) {
        const std::string head = line.substr(0, 2), rest = line.size() > 2 ? line.substr(2) : "";
        if (head == "$ ")
            out.emplace_back(rest, -1, "");
        else if (head == "> ")
            std::get<0>(out.back()) += "\n" + rest;
        else if (line.rfind("exit ", 0) == 0)
            std::get<1>(out.back()) = std::stoi(line.substr(5));
        else if (!line.empty() && line[0] != '#' && !out.empty())
            std::get<2>(out.back()) += (std::get<2>(out.back()).empty() ? "" : "\n") + line;
    }
    return out;
}

TEST(Cli, Runs) {
    for (const auto &[command, status, part] : runs())
        expect_run(command, status, part);
    expect_run("vok --version", 0, std::string(vokxVersion()) + "\n");
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
            // Another version is read, with a warning that names it.
            const std::string version = c.value("version", "VOK_OK");
            const std::string said = run(from_hex + "vok check --schema " + schema).second;
            EXPECT_EQ(said.find(version == "VOK_OLDER_VERSION"   ? " is older than"
                                : version == "VOK_NEWER_VERSION" ? " is newer than"
                                                                 : "warning") != std::string::npos,
                      version != "VOK_OK")
                << said;
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
    expect_run("big_block; ulimit -v 400000; vok check --max-block 256MiB big.bin", 1,
               "byte 268435455: no end marker: the block's last byte is 0x00");
    expect_run("big_block; ulimit -v 100000; vok check --max-block 1GiB big.bin", 1,
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
    expect_run(R"(ulimit -v 100000; printf '\377\377\377\377\310' | vok dump --max-block 4GiB)", 1,
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
