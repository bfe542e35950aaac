// A few end-to-end runs of the vok binary: exit codes and messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The binary sits in the build tree's tools/vok beside this test's tests/.
const std::string &vok_binary() {
    static const std::string path =
        (fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools/vok/vok").string();
    return path;
}

struct RunResult {
    int status;
    std::string out;
};

RunResult run(const std::string &arguments) {
    const std::string command = vok_binary() + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string out;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.append(chunk, got);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vok_cli_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const char *name, const std::string &content) {
        const fs::path p = dir_ / name;
        FILE *f = std::fopen(p.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        return p.string();
    }
    fs::path dir_;
};

TEST_F(Cli, PackDumpCheckRoundTrip) {
    const std::string notation = file("a.vok", "stream type 7 version 3\nmark 1\nu 300\n");
    const std::string bin = (dir_ / "a.bin").string();
    ASSERT_EQ(run("pack " + notation + " -o " + bin).status, 0);
    EXPECT_EQ(run("check " + bin + " --type 7 --version 3").out,
              "ok: 2 items, 0 phrases, 13 bytes (type 7, version 3)\n");
    const RunResult again = run("dump " + bin + " | " + vok_binary() + " pack | cmp - " + bin);
    EXPECT_EQ(again.status, 0) << again.out;
    const RunResult warned = run("check " + bin + " --version 2");
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.out.find("warning: version 3 is newer"), std::string::npos);
}

TEST_F(Cli, ExitCodesForInvalidInputAndUsage) {
    const RunResult bad_notation =
        run("pack " + file("b.vok", "stream type 1 version 0\nu x\n") + " -o /dev/null");
    EXPECT_EQ(bad_notation.status, 1);
    EXPECT_NE(bad_notation.out.find("b.vok:2:3: expected a value"), std::string::npos);

    const RunResult bad_block =
        run("dump " + file("c.bin", std::string("\0\0\0\x0a\xc8\x01\xd2\0\xe9\xc9", 10)));
    EXPECT_EQ(bad_block.status, 1);
    EXPECT_NE(bad_block.out.find("offset 8: byte 0xe9 cannot start an item"), std::string::npos);
    EXPECT_NE(bad_block.out.find("| stream type 1 version 0"), std::string::npos);

    EXPECT_EQ(run("check --type 300 x").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("dump --help").status, 0);
    EXPECT_EQ(run("check " + (dir_ / "missing").string()).status, 1);
}

} // namespace
