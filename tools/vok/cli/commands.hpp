// The subcommands as the command line runs them: each reads its input
// and writes its output through checked calls, reports every problem on
// standard error and returns the exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "checker.hpp"
#include "dumper.hpp"

namespace vok::tool {

inline constexpr int kExitInvalid = 1;
inline constexpr int kExitUsage = 2;

// Which block dump lists: all, the n-th (0-based, in input order), or the
// one that starts at a given offset.
struct BlockChoice {
    std::optional<uint64_t> index;
    std::optional<uint64_t> offset;
};

// How dump, check and salvage read: the largest block they take (a length
// field above it is damage), and whether to stop at the first problem.
struct ScanOptions {
    uint32_t max_block = ScanRules::kDefaultMaxBlock;
    bool first = false;
};

// Each lists or checks every block it can find, reports every problem and
// skipped range on standard error, and answers 1 if there was any.
int run_dump(const std::string &path, const DumpOptions &options, const BlockChoice &choice = {},
             const ScanOptions &scan = {});
int run_check(const std::string &path, const CheckExpectations &expected, bool json,
              Verbosity verbosity = Verbosity::normal, const vokxSchema *schema = nullptr,
              const ScanOptions &scan = {});
// vok salvage: writes every block that is well-formed (and with a schema, a
// record it reads) to output, as pack writes its blocks; 0 once written,
// whatever was dropped.
int run_salvage(const std::string &path, const std::string &output, const vokxSchema *schema,
                const ScanOptions &scan);
// With a schema, the input is records as JSON (dump --schema --json).
int run_pack(const std::string &path, const std::string &output, bool json,
             const vokxSchema *schema = nullptr);
// vok schema compat OLD NEW: prints each difference for both directions;
// 0 when both are compatible.
int run_schema_check(const std::string &path);
int run_schema_compat(const std::string &old_path, const std::string &new_path);
// vok gen c|cpp: writes the generated files into directory.
int run_gen(const std::string &language, const vokxSchema &schema, const std::string &schema_path,
            const std::string &directory, const std::string &name_space);

} // namespace vok::tool
