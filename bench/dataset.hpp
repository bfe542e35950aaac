// The three data sets every contender encodes and decodes, generated once
// from a fixed seed, and the sinks that decoders report what they read to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Record {
    uint32_t count;
    int32_t delta;
    bool flag;
    std::string name; // ASCII, 5 to 20 bytes
};

struct Dataset {
    std::vector<uint32_t> ints;     // 60 % < 256, 30 % < 65,536, 10 % larger
    std::vector<Record> records;    // signed values negative half the time
    std::vector<std::string> blobs; // UTF-8, 64 KiB each, no zero byte
};

// Built on first use and shared by every benchmark of the run.
const Dataset &dataset();

// Bytes of payload that a data set carries, for the MB/s counters: 4 per
// number, 1 per flag and the content of each string.
size_t payload_bytes(const std::vector<uint32_t> &ints);
size_t payload_bytes(const std::vector<Record> &records);
size_t payload_bytes(const std::vector<std::string> &blobs);

// A string's contribution to a checksum: its length and three of its bytes.
// Cheap enough to leave the 64 KiB blobs' decode time to the decoders; the
// untimed verification (VerifySink) compares every byte.
inline uint64_t string_checksum(const void *data, size_t length) noexcept {
    const auto *p = static_cast<const unsigned char *>(data);
    if (length == 0) return 1;
    return length * 0x9E3779B1u + p[0] + (uint64_t{p[length / 2]} << 8) +
           (uint64_t{p[length - 1]} << 16);
}

// What a timed decoder accumulates; compared with the same sum over the input.
struct ChecksumSink {
    uint64_t sum = 0;
    void on_unsigned(uint64_t v) noexcept { sum += v; }
    void on_signed(int64_t v) noexcept { sum += static_cast<uint64_t>(v) * 3; }
    void on_flag(bool v) noexcept { sum += v ? 7 : 1; }
    void on_string(const void *p, size_t n) noexcept { sum += string_checksum(p, n); }
};

uint64_t checksum(const std::vector<uint32_t> &ints);
uint64_t checksum(const std::vector<Record> &records);
uint64_t checksum(const std::vector<std::string> &blobs);

// Checks every decoded value in order against a data set; used once per
// decoder before timing.  `ok()` is false at the first difference.
class VerifySink {
  public:
    explicit VerifySink(const std::vector<uint32_t> &ints);
    explicit VerifySink(const std::vector<Record> &records);
    explicit VerifySink(const std::vector<std::string> &blobs);

    void on_unsigned(uint64_t v);
    void on_signed(int64_t v);
    void on_flag(bool v);
    void on_string(const void *p, size_t n);
    // True if every expected value was seen, in order, and nothing more.
    bool ok() const { return ok_ && next_ == expected_.size(); }

  private:
    enum class Kind : uint8_t { u, s, f, str };
    struct Value {
        Kind kind;
        int64_t number;
        const std::string *text;
    };
    void expect(Kind kind, int64_t number, const void *p = nullptr, size_t n = 0);
    std::vector<Value> expected_;
    size_t next_ = 0;
    bool ok_ = true;
};

} // namespace bench
