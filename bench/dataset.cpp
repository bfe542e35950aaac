#include "dataset.hpp"

#include <cstring>
#include <random>

namespace bench {

namespace {

constexpr uint32_t kSeed = 20261205;
constexpr size_t kInts = 1'000'000;
constexpr size_t kRecords = 200'000;
constexpr size_t kBlobs = 2'000;
constexpr size_t kBlobSize = 64 * 1024;

// Draws from the raw generator only, so that the data do not depend on the
// standard library's distributions.
class Draw {
  public:
    uint32_t below(uint32_t bound) { return static_cast<uint32_t>(rng_() % bound); }
    uint32_t between(uint32_t low, uint32_t high) { return low + below(high - low + 1); }

    // 60 % below 256, 30 % from 256 to 65,535, 10 % from 65,536 up.
    uint32_t mixed_width() {
        const uint32_t bucket = below(10);
        if (bucket < 6) return below(256);
        if (bucket < 9) return between(256, 65535);
        return between(65536, UINT32_MAX - 1);
    }

  private:
    std::mt19937 rng_{kSeed};
};

std::string ascii_name(Draw &draw) {
    std::string s(draw.between(5, 20), ' ');
    for (char &c : s)
        c = static_cast<char>(draw.between(0x21, 0x7E));
    return s;
}

// Mixed one- to four-byte UTF-8 sequences, padded with ASCII to the size.
std::string utf8_blob(Draw &draw) {
    static const char *const kPieces[] = {
        "a", "Z", " ", "\xC3\xA9", "\xD0\x96", "\xE2\x82\xAC", "\xE6\x97\xA5", "\xF0\x9F\x98\x80"};
    std::string s;
    s.reserve(kBlobSize);
    while (true) {
        const char *piece = kPieces[draw.below(8)];
        const size_t n = std::strlen(piece);
        if (s.size() + n > kBlobSize) break;
        s += piece;
    }
    s.resize(kBlobSize, '.');
    return s;
}

Dataset generate() {
    Draw draw;
    Dataset d;
    d.ints.reserve(kInts);
    for (size_t i = 0; i < kInts; ++i)
        d.ints.push_back(draw.mixed_width());
    d.records.reserve(kRecords);
    for (size_t i = 0; i < kRecords; ++i) {
        Record r;
        r.count = draw.mixed_width();
        const auto magnitude = static_cast<int32_t>(draw.mixed_width() >> 1);
        r.delta = draw.below(2) != 0 ? -magnitude : magnitude;
        r.flag = draw.below(2) != 0;
        r.name = ascii_name(draw);
        d.records.push_back(std::move(r));
    }
    d.blobs.reserve(kBlobs);
    for (size_t i = 0; i < kBlobs; ++i)
        d.blobs.push_back(utf8_blob(draw));
    return d;
}

} // namespace

const Dataset &dataset() {
    static const Dataset d = generate();
    return d;
}

size_t payload_bytes(const std::vector<uint32_t> &ints) { return ints.size() * 4; }
size_t payload_bytes(const std::vector<Record> &records) {
    size_t n = 0;
    for (const Record &r : records)
        n += 9 + r.name.size();
    return n;
}
size_t payload_bytes(const std::vector<std::string> &blobs) {
    size_t n = 0;
    for (const std::string &b : blobs)
        n += b.size();
    return n;
}

uint64_t checksum(const std::vector<uint32_t> &ints) {
    ChecksumSink sink;
    for (uint32_t v : ints)
        sink.on_unsigned(v);
    return sink.sum;
}
uint64_t checksum(const std::vector<Record> &records) {
    ChecksumSink sink;
    for (const Record &r : records) {
        sink.on_unsigned(r.count);
        sink.on_signed(r.delta);
        sink.on_flag(r.flag);
        sink.on_string(r.name.data(), r.name.size());
    }
    return sink.sum;
}
uint64_t checksum(const std::vector<std::string> &blobs) {
    ChecksumSink sink;
    for (const std::string &b : blobs)
        sink.on_string(b.data(), b.size());
    return sink.sum;
}

VerifySink::VerifySink(const std::vector<uint32_t> &ints) {
    for (uint32_t v : ints)
        expected_.push_back({Kind::u, v, nullptr});
}
VerifySink::VerifySink(const std::vector<Record> &records) {
    for (const Record &r : records) {
        expected_.push_back({Kind::u, r.count, nullptr});
        expected_.push_back({Kind::s, r.delta, nullptr});
        expected_.push_back({Kind::f, r.flag ? 1 : 0, nullptr});
        expected_.push_back({Kind::str, 0, &r.name});
    }
}
VerifySink::VerifySink(const std::vector<std::string> &blobs) {
    for (const std::string &b : blobs)
        expected_.push_back({Kind::str, 0, &b});
}

void VerifySink::expect(Kind kind, int64_t number, const void *p, size_t n) {
    if (!ok_ || next_ >= expected_.size()) {
        ok_ = false;
        return;
    }
    const Value &want = expected_[next_++];
    if (want.kind != kind) {
        ok_ = false;
    } else if (kind == Kind::str) {
        ok_ = want.text->size() == n && std::memcmp(want.text->data(), p, n) == 0;
    } else {
        ok_ = want.number == number;
    }
}

void VerifySink::on_unsigned(uint64_t v) { expect(Kind::u, static_cast<int64_t>(v)); }
void VerifySink::on_signed(int64_t v) { expect(Kind::s, v); }
void VerifySink::on_flag(bool v) { expect(Kind::f, v ? 1 : 0); }
void VerifySink::on_string(const void *p, size_t n) { expect(Kind::str, 0, p, n); }

} // namespace bench
