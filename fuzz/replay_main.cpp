// A fuzz harness without libFuzzer: every file named on the command line
// (or found in a folder named there) is handed to the harness once, as an
// exact-size heap copy.  ctest replays the committed corpora this way in
// every build, so the properties the harnesses check fail ordinary test
// runs too, not only the fuzz stage.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replay(const std::filesystem::path &file) {
    std::FILE *in = std::fopen(file.c_str(), "rb");
    if (in == nullptr) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool read = std::ferror(in) == 0;
    std::fclose(in);
    if (!read) return false;
    const auto copy = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto &entry : std::filesystem::directory_iterator(argv[i], error))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto &file : files)
        if (!replay(file)) {
            std::fprintf(stderr, "%s: cannot read\n", file.c_str());
            return 1;
        }
    std::printf("%zu inputs replayed\n", files.size());
    return files.empty() ? 1 : 0; // an empty corpus replays nothing
}
