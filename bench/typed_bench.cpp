// Typed records, one block (or message) per record: vok32's generated C and
// C++, a hand-written vok32x walk, and -- when they were found at build time
// -- nanopb, protobuf's generated C++ and msgpack-c++'s MSGPACK_DEFINE.  Each
// encodes from and decodes into its own struct; every encoder writes into a
// buffer it reuses.  Telemetry readings (bench/typed/telemetry.py) are decoded
// by the generated code of one schema with large and with small arrays.
#include "typed_bench.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "entry.vok.h"
#include "entry.vok.hpp"
#include "telemetry.vok.h"
#include "telemetry.vok.hpp"
#include "telemetrysmall.vok.h"
#include "telemetrysmall.vok.hpp"
#include "vok32x.h"

#ifdef VOK_BENCH_NANOPB
#include <pb_decode.h>
#include <pb_encode.h>

#include "nanopb/entry.pb.h"
#endif
#ifdef VOK_BENCH_PROTOBUF
#include "protobuf/entry.pb.h"
#endif
#ifdef VOK_BENCH_MSGPACK_CXX
#include <msgpack.hpp>
#endif

namespace bench {
namespace {

void to_sink(ChecksumSink &sink, uint32_t count, int32_t delta, bool flag, const void *name,
             size_t length) {
    sink.on_unsigned(count);
    sink.on_signed(delta);
    sink.on_flag(flag);
    sink.on_string(name, length);
}

// vok32's generated C: Entry_encode_to into one buffer.
class VokGenC {
  public:
    explicit VokGenC(const std::vector<Record> &records) {
        for (const Record &r : records) {
            Entry e{};
            e.count = r.count, e.delta = r.delta, e.flag = r.flag;
            e.name = {reinterpret_cast<const uint8_t *>(r.name.data()),
                      static_cast<uint32_t>(r.name.size())};
            entries_.push_back(e);
        }
    }
    size_t size() const { return entries_.size(); }
    std::pair<const uint8_t *, size_t> encode(size_t i) {
        size_t length = 0;
        if (Entry_encode_to(&entries_[i], buffer_, sizeof buffer_, &length, nullptr) != VOK_OK)
            return {nullptr, 0};
        return {buffer_, length};
    }
    static bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        Entry e;
        if (Entry_decode(p, n, &e, nullptr) != VOK_OK) return false;
        to_sink(sink, e.count, e.delta, e.flag, e.name.data, e.name.length);
        return true;
    }

  private:
    uint8_t buffer_[256];
    std::vector<Entry> entries_;
};

// The same blocks read by hand: vokxNextItem, and the mark before each value.
struct VokWalk {
    static bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        vokStream s;
        if (vokxOpen(&s, p, n, ENTRY_TYPE, ENTRY_VERSION) != VOK_OK) return false;
        vokxItem item;
        uint32_t mark = 0, count = 0;
        int32_t delta = 0;
        bool flag = false;
        const uint8_t *name = nullptr;
        uint32_t length = 0;
        while (vokxNextItem(&s, &item) == VOK_OK) {
            if (item.kind == VOK_USER_MARK) {
                mark = item.value;
                continue;
            }
            switch (mark) {
            case 1:
                count = item.value;
                break;
            case 2:
                delta = item.signed_value;
                break;
            case 3:
                flag = item.value != 0;
                break;
            case 4:
                name = item.text, length = item.length;
                break;
            }
        }
        to_sink(sink, count, delta, flag, name, length);
        return true;
    }
};

// vok32's generated C++: owning types; encode appends to a vector it reuses.
class VokGenCpp {
  public:
    explicit VokGenCpp(const std::vector<Record> &records) {
        for (const Record &r : records)
            entries_.push_back({r.count, r.delta, r.flag, r.name});
    }
    size_t size() const { return entries_.size(); }
    std::pair<const uint8_t *, size_t> encode(size_t i) {
        last_.clear();
        if (!entry::encode(entries_[i], last_).ok()) return {nullptr, 0};
        return {last_.data(), last_.size()};
    }
    // One struct reused for every record, as for protobuf and msgpack-c++.
    bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        if (entry::decode(p, n, entry_) != vok::status::ok) return false;
        to_sink(sink, entry_.count, entry_.delta, entry_.flag, entry_.name.data(),
                entry_.name.size());
        return true;
    }

  private:
    std::vector<entry::Entry> entries_;
    std::vector<uint8_t> last_;
    entry::Entry entry_;
};

#ifdef VOK_BENCH_NANOPB
class Nanopb {
  public:
    explicit Nanopb(const std::vector<Record> &records) {
        for (const Record &r : records) {
            bench_pb_Entry e = bench_pb_Entry_init_zero;
            e.count = r.count, e.delta = r.delta, e.flag = r.flag;
            std::memcpy(e.name, r.name.data(), r.name.size() + 1);
            entries_.push_back(e);
        }
    }
    size_t size() const { return entries_.size(); }
    std::pair<const uint8_t *, size_t> encode(size_t i) {
        pb_ostream_t out = pb_ostream_from_buffer(buffer_, sizeof buffer_);
        if (!pb_encode(&out, bench_pb_Entry_fields, &entries_[i])) return {nullptr, 0};
        return {buffer_, out.bytes_written};
    }
    static bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        bench_pb_Entry e = bench_pb_Entry_init_zero;
        pb_istream_t in = pb_istream_from_buffer(p, n);
        if (!pb_decode(&in, bench_pb_Entry_fields, &e)) return false;
        to_sink(sink, e.count, e.delta, e.flag, e.name, std::strlen(e.name));
        return true;
    }

  private:
    std::vector<bench_pb_Entry> entries_;
    uint8_t buffer_[256];
};
#endif

#ifdef VOK_BENCH_PROTOBUF
class Protobuf {
  public:
    explicit Protobuf(const std::vector<Record> &records) {
        for (const Record &r : records) {
            bench_pb::Entry &e = entries_.emplace_back();
            e.set_count(r.count), e.set_delta(r.delta), e.set_flag(r.flag), e.set_name(r.name);
        }
    }
    size_t size() const { return entries_.size(); }
    std::pair<const uint8_t *, size_t> encode(size_t i) {
        const size_t n = entries_[i].ByteSizeLong();
        if (!entries_[i].SerializeToArray(buffer_, static_cast<int>(sizeof buffer_)))
            return {nullptr, 0};
        return {buffer_, n};
    }
    // One message reused for every record, as protobuf advises.
    bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        if (!message_.ParseFromArray(p, static_cast<int>(n))) return false;
        to_sink(sink, message_.count(), message_.delta(), message_.flag(), message_.name().data(),
                message_.name().size());
        return true;
    }

  private:
    std::vector<bench_pb::Entry> entries_;
    bench_pb::Entry message_;
    uint8_t buffer_[256];
};
#endif

#ifdef VOK_BENCH_MSGPACK_CXX
struct MsgEntry {
    uint32_t count;
    int32_t delta;
    bool flag;
    std::string name;
    MSGPACK_DEFINE(count, delta, flag, name)
};

class MsgpackCxx {
  public:
    explicit MsgpackCxx(const std::vector<Record> &records) {
        for (const Record &r : records)
            entries_.push_back({r.count, r.delta, r.flag, r.name});
    }
    size_t size() const { return entries_.size(); }
    std::pair<const uint8_t *, size_t> encode(size_t i) {
        buffer_.clear();
        msgpack::pack(buffer_, entries_[i]);
        return {reinterpret_cast<const uint8_t *>(buffer_.data()), buffer_.size()};
    }
    // One zone and one struct reused for every record: msgpack-c++'s fastest way.
    bool decode(const uint8_t *p, size_t n, ChecksumSink &sink) {
        zone_.clear();
        std::size_t offset = 0;
        const msgpack::object o =
            msgpack::unpack(zone_, reinterpret_cast<const char *>(p), n, offset);
        o.convert(entry_);
        to_sink(sink, entry_.count, entry_.delta, entry_.flag, entry_.name.data(),
                entry_.name.size());
        return true;
    }

  private:
    std::vector<MsgEntry> entries_;
    msgpack::sbuffer buffer_;
    msgpack::zone zone_;
    MsgEntry entry_;
};
#endif

// Every record encoded once, back to back, with where each starts.
struct Encoded {
    std::vector<uint8_t> bytes;
    std::vector<size_t> starts;
};

template <class Codec> Encoded encode_all(Codec &codec) {
    Encoded out;
    for (size_t i = 0; i < codec.size(); ++i) {
        const auto [p, n] = codec.encode(i);
        out.starts.push_back(out.bytes.size());
        out.bytes.insert(out.bytes.end(), p, p + n);
    }
    out.starts.push_back(out.bytes.size());
    return out;
}

void counters(benchmark::State &state, size_t records, size_t bytes) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * records));
    state.counters["ns_per_item"] = benchmark::Counter(
        static_cast<double>(records) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["encoded_bytes"] = static_cast<double>(bytes);
}

template <class Codec> void add(const char *name, const std::vector<Record> &records) {
    benchmark::RegisterBenchmark((std::string("typed/encode/") + name).c_str(),
                                 [&records](benchmark::State &s) {
                                     Codec codec(records);
                                     size_t bytes = 0;
                                     for (auto _ : s) {
                                         bytes = 0;
                                         for (size_t i = 0; i < codec.size(); ++i)
                                             bytes += codec.encode(i).second;
                                         benchmark::DoNotOptimize(bytes);
                                     }
                                     counters(s, records.size(), bytes);
                                 })
        ->Unit(benchmark::kMillisecond);
}

template <class Codec, class Decoder>
void add_decode(const char *name, const std::vector<Record> &records, Decoder decoder) {
    benchmark::RegisterBenchmark((std::string("typed/decode/") + name).c_str(),
                                 [&records, decoder](benchmark::State &s) mutable {
                                     Codec codec(records);
                                     const Encoded in = encode_all(codec);
                                     const uint64_t expected = checksum(records);
                                     for (auto _ : s) {
                                         ChecksumSink sink;
                                         for (size_t i = 0; i + 1 < in.starts.size(); ++i)
                                             if (!decoder(in.bytes.data() + in.starts[i],
                                                          in.starts[i + 1] - in.starts[i], sink)) {
                                                 s.SkipWithError("a record was refused");
                                                 return;
                                             }
                                         if (sink.sum != expected) {
                                             s.SkipWithError(
                                                 "decoded values differ from the input");
                                             return;
                                         }
                                         benchmark::DoNotOptimize(sink.sum);
                                     }
                                     counters(s, records.size(), in.bytes.size());
                                 })
        ->Unit(benchmark::kMillisecond);
}

// Telemetry: the blocks telemetry.py's records make, back to back, and one
// decoder per schema variant and language, each into a struct it reuses.
struct TelemetryBlocks {
    std::vector<uint8_t> bytes;
    std::vector<size_t> starts; // of every block, then the end
};

TelemetryBlocks load_telemetry() {
    std::ifstream in(VOK_BENCH_TELEMETRY, std::ios::binary);
    TelemetryBlocks t;
    t.bytes.assign(std::istreambuf_iterator<char>(in), {});
    for (size_t at = 0; at + 4 <= t.bytes.size();) {
        t.starts.push_back(at);
        at += vok_load_be32(t.bytes.data() + at);
    }
    t.starts.push_back(t.bytes.size());
    return t;
}

// What every decoder must agree on: the values a reading holds.
template <typename Sample, typename Alarm>
uint64_t reading_sum(uint64_t sensor, int64_t time, double temperature, const Sample *samples,
                     size_t sample_count, const Alarm *alarms, size_t alarm_count) {
    uint64_t sum = sensor + static_cast<uint64_t>(time) + static_cast<uint64_t>(temperature);
    for (size_t i = 0; i < sample_count; ++i)
        sum += static_cast<uint64_t>(samples[i] * 1000);
    for (size_t i = 0; i < alarm_count; ++i)
        sum += alarms[i].code + static_cast<uint64_t>(alarms[i].level);
    return sum;
}

template <typename T, uint16_t (*Decode)(const uint8_t *, size_t, T *, vokxRecordError *)>
bool decode_telemetry_c(const uint8_t *p, size_t n, uint64_t &sum) {
    static T r;
    if (Decode(p, n, &r, nullptr) != VOK_OK) return false;
    sum += reading_sum(r.sensor, r.time, r.temperature, r.samples, r.samples_count, r.alarms,
                       r.alarms_count);
    return true;
}

template <typename T> bool decode_telemetry_cpp(const uint8_t *p, size_t n, uint64_t &sum) {
    static T r;
    if (!decode(p, n, r).ok()) return false;
    sum += reading_sum(r.sensor, r.time.time_since_epoch().count(), r.temperature, r.samples.data(),
                       r.samples.size(), r.alarms.data(), r.alarms.size());
    return true;
}

void add_telemetry(const char *name, bool (*decoder)(const uint8_t *, size_t, uint64_t &)) {
    benchmark::RegisterBenchmark((std::string("typed/decode/") + name).c_str(), [decoder](
                                                                                    benchmark::State
                                                                                        &s) {
        const TelemetryBlocks t = load_telemetry();
        const size_t records = t.starts.size() - 1;
        uint64_t expected = 0;
        for (size_t i = 0; i < records; ++i)
            if (!decode_telemetry_c<::Telemetry, Telemetry_decode>(
                    t.bytes.data() + t.starts[i], t.starts[i + 1] - t.starts[i], expected)) {
                s.SkipWithError("a reading was refused");
                return;
            }
        for (auto _ : s) {
            uint64_t sum = 0;
            for (size_t i = 0; i < records; ++i)
                if (!decoder(t.bytes.data() + t.starts[i], t.starts[i + 1] - t.starts[i], sum)) {
                    s.SkipWithError("a reading was refused");
                    return;
                }
            if (sum != expected) {
                s.SkipWithError("decoded values differ from the first decoder's");
                return;
            }
            benchmark::DoNotOptimize(sum);
        }
        counters(s, records, t.bytes.size());
    })->Unit(benchmark::kMillisecond);
}

} // namespace

bool add_typed(const std::vector<Record> &records) {
    add<VokGenC>("vok32_gen_c", records);
    add_decode<VokGenC>("vok32_gen_c", records, &VokGenC::decode);
    add_decode<VokGenC>("vok32x_walk", records, &VokWalk::decode);
    add<VokGenCpp>("vok32_gen_cpp", records);
    add_decode<VokGenCpp>("vok32_gen_cpp", records,
                          [decoder = std::make_shared<VokGenCpp>(std::vector<Record>{})](
                              const uint8_t *p, size_t n, ChecksumSink &sink) {
                              return decoder->decode(p, n, sink);
                          });
    add_telemetry("vok32_gen_c_telemetry_small",
                  decode_telemetry_c<::TelemetrySmall, TelemetrySmall_decode>);
    add_telemetry("vok32_gen_c_telemetry_large", decode_telemetry_c<::Telemetry, Telemetry_decode>);
    add_telemetry("vok32_gen_cpp_telemetry_small",
                  decode_telemetry_cpp<telemetrysmall::TelemetrySmall>);
    add_telemetry("vok32_gen_cpp_telemetry_large", decode_telemetry_cpp<telemetry::Telemetry>);
#ifdef VOK_BENCH_NANOPB
    add<Nanopb>("nanopb", records);
    add_decode<Nanopb>("nanopb", records, &Nanopb::decode);
#endif
#ifdef VOK_BENCH_PROTOBUF
    add<Protobuf>("protobuf", records);
    add_decode<Protobuf>("protobuf", records,
                         [decoder = std::make_shared<Protobuf>(std::vector<Record>{})](
                             const uint8_t *p, size_t n, ChecksumSink &sink) {
                             return decoder->decode(p, n, sink);
                         });
#endif
#ifdef VOK_BENCH_MSGPACK_CXX
    add<MsgpackCxx>("msgpack_cxx", records);
    add_decode<MsgpackCxx>("msgpack_cxx", records,
                           [decoder = std::make_shared<MsgpackCxx>(std::vector<Record>{})](
                               const uint8_t *p, size_t n, ChecksumSink &sink) {
                               return decoder->decode(p, n, sink);
                           });
#endif
    return true;
}

} // namespace bench
