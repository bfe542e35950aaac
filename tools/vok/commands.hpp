// The three subcommands as the command line runs them: each reads its input
// and writes its output through checked calls, reports every problem on
// standard error and returns the exit status.
#pragma once

#include <string>

#include "checker.hpp"
#include "dumper.hpp"

namespace vok::tool {

inline constexpr int kExitInvalid = 1;
inline constexpr int kExitUsage = 2;

int run_dump(const std::string &path, const DumpOptions &options);
int run_check(const std::string &path, const CheckExpectations &expected, bool json);
int run_pack(const std::string &path, const std::string &output, bool json);

} // namespace vok::tool
