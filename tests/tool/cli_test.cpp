// End-to-end runs of the vok binary through the shell: exit codes and
// messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <tuple>

namespace {

// Runs a shell command with the vok built beside this test (tools/vok next to
// tests/) first on the path; gives the exit status and everything printed.
std::pair<int, std::string> run(const std::string &command) {
    static const std::string dir =
        std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "tools/vok";
    FILE *pipe = popen(("PATH=" + dir + ":$PATH; { " + command + "; } 2>&1").c_str(), "r");
    std::string out;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        out.push_back(static_cast<char>(c));
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

const std::string kRecord = R"(printf 'stream type 7 version 3\nmark 1\nu 300\n' | vok pack | )";

// Command, exit status, part of what it prints.
const std::tuple<std::string, int, const char *> kRuns[] = {
    {kRecord + "vok dump | vok pack | vok check - --type 7 --version 3", 0,
     "ok: 2 items, 0 phrases, 13 bytes (type 7, version 3)\n"},
    {kRecord + "vok check - --version 2", 0, "warning: version 3 is newer than the expected 2"},
    {kRecord + "vok check - --type 8", 1, "<stdin>: offset 5: stream type 7, expected 8"},
    {R"(printf 'stream type 1 version 0\nu x\n' | vok pack)", 1, "<stdin>:2:3: expected a value"},
    {R"(printf '\0\0\0\n\310\1\322\0\351\311' | vok dump)", 1,
     "<stdin>: offset 8: byte 0xe9 cannot start an item"},
    {"vok check /nonexistent", 1, "cannot open"},
    {"vok check --type 300 x", 2, "--type"},
    {"vok frobnicate", 2, "--help"},
    {"vok dump --help", 0, "Usage: vok dump"},
};

TEST(Cli, ExitCodesAndMessages) {
    for (const auto &[command, expected_status, output_part] : kRuns) {
        SCOPED_TRACE(command);
        const auto [status, output] = run(command);
        EXPECT_EQ(status, expected_status);
        EXPECT_NE(output.find(output_part), std::string::npos) << output;
    }
}

} // namespace
