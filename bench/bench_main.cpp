// vok32 and vok32x's item walk against msgpack-c and libcbor on the same
// three data sets, with two floors: a memcpy of vok32's encoded bytes and a
// loop that only sums the input.  Every decoder is first run once against a verifier that compares
// each value; timed decoders then compare a checksum of what they read.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "cbor_codec.hpp"
#include "dataset.hpp"
#include "msgpack_codec.hpp"
#include "typed_bench.hpp"
#include "vok32x.h"
#include "vok_cursor.hpp"
#include "vok_handle.hpp"
#include "vok_walk.hpp"

namespace bench {
namespace {

void set_counters(benchmark::State &state, size_t items, size_t payload, size_t encoded) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * items));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload));
    state.counters["ns_per_item"] = benchmark::Counter(
        static_cast<double>(items) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["encoded_bytes"] = static_cast<double>(encoded);
}

template <typename Codec, typename Data>
void encode_bench(benchmark::State &state, const Data &data) {
    Codec codec;
    Encoded out{};
    for (auto _ : state) {
        out = codec.encode(data);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    if (out.size == 0) state.SkipWithError("encoding failed");
    set_counters(state, data.size(), payload_bytes(data), out.size);
}

template <typename Codec, typename Data>
void decode_bench(benchmark::State &state, const Data &data) {
    Codec codec;
    const Encoded in = codec.encode(data);
    const uint64_t expected = checksum(data);
    for (auto _ : state) {
        ChecksumSink sink;
        if (!codec.decode(data, in, sink) || sink.sum != expected) {
            state.SkipWithError("decoded values differ from the input");
            break;
        }
        benchmark::DoNotOptimize(sink.sum);
    }
    set_counters(state, data.size(), payload_bytes(data), in.size);
}

// Floor: copy vok32's encoded block into memory allocated once.
template <typename Data> void memcpy_bench(benchmark::State &state, const Data &data) {
    VokCursor vok;
    const Encoded in = vok.encode(data);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[in.size]);
    for (auto _ : state) {
        std::memcpy(copy.get(), in.data, in.size);
        benchmark::DoNotOptimize(copy.get());
        benchmark::ClobberMemory();
    }
    set_counters(state, data.size(), payload_bytes(data), in.size);
}

// Floor of string encoding: each string measured (it arrives terminated,
// and its length field, written first, depends on its length), then copied
// to where the block holds its content, after the frame's and the item's
// heads.  (Packed back to back instead, the copies land on other alignments
// and take a tenth less time: the format's 5-byte heads decide that.)
void strlen_memcpy_bench(benchmark::State &state, const Blobs &blobs) {
    VokCursor vok;
    const Encoded in = vok.encode(blobs);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[in.size]);
    for (auto _ : state) {
        uint8_t *p = copy.get() + 8; // the frame's head
        for (const std::string &b : blobs) {
            const size_t length = std::strlen(b.c_str());
            p += vokxStringSize(static_cast<uint32_t>(length)) - length; // the item's head
            std::memcpy(p, b.c_str(), length);
            p += length;
        }
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
    set_counters(state, blobs.size(), payload_bytes(blobs), in.size);
}

// Floor of the cursor's record encoding: four calls of its cheapest encoder,
// each loading the caller's cursor and storing it advanced, and the name
// measured and copied.  Any cursor encoder makes these calls and the string
// must be measured before it is copied; what the real encoders add is only
// the choice of width.
void cursor_floor_bench(benchmark::State &state, const Records &records) {
    VokCursor vok;
    const Encoded in = vok.encode(records); // room enough: every real item is wider
    std::unique_ptr<uint8_t[]> copy(new uint8_t[in.size]);
    for (auto _ : state) {
        uint8_t *p = copy.get();
        for (const Record &r : records) {
            for (int call = 0; call < 4; ++call)
                vokEncodeFlag(&p, r.flag);
            const size_t length = std::strlen(r.name.c_str());
            std::memcpy(p, r.name.c_str(), length);
            p += length;
        }
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
    set_counters(state, records.size(), payload_bytes(records), in.size);
}

// Floor of the walk: vokxNextItem moving over every item with no item to
// describe and nothing handed on.  A walk keeps its place in the caller's
// handle, and each item's size follows from its tag (and a string's length
// field), so every step waits for the one before it.
void walk_floor_bench(benchmark::State &state, const Records &records) {
    VokCursor vok;
    const Encoded in = vok.encode(records);
    for (auto _ : state) {
        vokStream s{};
        size_t items = 0;
        if (vokxOpen(&s, in.data, in.size, kStreamType, kStreamVersion) == VOK_OK)
            while (vokxNextItem(&s, nullptr) == VOK_OK)
                ++items;
        if (items != 4 * records.size()) {
            state.SkipWithError("the walk missed items");
            break;
        }
        benchmark::DoNotOptimize(items);
    }
    set_counters(state, records.size(), payload_bytes(records), in.size);
}

// Floor: the checksum a decoder accumulates, over the input itself.
template <typename Data> void sum_bench(benchmark::State &state, const Data &data) {
    for (auto _ : state)
        benchmark::DoNotOptimize(checksum(data));
    set_counters(state, data.size(), payload_bytes(data), 0);
}

template <typename Codec, typename Data> bool verify(const char *name, const Data &data) {
    Codec codec;
    const Encoded in = codec.encode(data);
    VerifySink sink(data);
    if (in.size != 0 && codec.decode(data, in, sink) && sink.ok()) return true;
    std::fprintf(stderr, "%s does not round-trip its data\n", name);
    return false;
}

template <typename Data> bool verify_all(const Data &data) {
    bool ok = verify<VokCursor>("vok32_cursor", data);
    ok &= verify<VokHandle>("vok32_handle", data);
    ok &= verify<VokWalk>("vok32x_walk", data);
    ok &= verify<Msgpack<MsgpackPull::zone>>("msgpack_zone", data);
    ok &= verify<Msgpack<MsgpackPull::next>>("msgpack_next", data);
    ok &= verify<Cbor>("libcbor", data);
    // Both vok32 sides must give the same bytes.
    VokCursor cursor;
    VokHandle handle;
    const Encoded a = cursor.encode(data);
    const Encoded b = handle.encode(data);
    if (a.size != b.size || std::memcmp(a.data, b.data, a.size) != 0) {
        std::fprintf(stderr, "vok32 cursor and handle blocks differ\n");
        ok = false;
    }
    return ok;
}

template <typename Codec, typename Data>
void add_codec(const std::string &set, const char *name, const Data &data) {
    benchmark::RegisterBenchmark((set + "/encode/" + name).c_str(), [&data](benchmark::State &s) {
        encode_bench<Codec>(s, data);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((set + "/decode/" + name).c_str(), [&data](benchmark::State &s) {
        decode_bench<Codec>(s, data);
    })->Unit(benchmark::kMillisecond);
}

template <typename Data> void add_all(const std::string &set, const Data &data) {
    add_codec<VokCursor>(set, "vok32_cursor", data);
    add_codec<VokHandle>(set, "vok32_handle", data);
    // The handle's floor: its writes without the buffer's growth.
    benchmark::RegisterBenchmark(
        (set + "/encode/vok32_handle_nogrow").c_str(),
        [&data](benchmark::State &s) { encode_bench<VokHandleNoGrowth>(s, data); })
        ->Unit(benchmark::kMillisecond);
    if constexpr (std::is_same_v<Data, Blobs>)
        benchmark::RegisterBenchmark((set + "/encode/strlen_memcpy").c_str(),
                                     [&data](benchmark::State &s) { strlen_memcpy_bench(s, data); })
            ->Unit(benchmark::kMillisecond);
    if constexpr (std::is_same_v<Data, Records>) {
        benchmark::RegisterBenchmark((set + "/encode/cursor_floor").c_str(),
                                     [&data](benchmark::State &s) { cursor_floor_bench(s, data); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((set + "/decode/walk_floor").c_str(),
                                     [&data](benchmark::State &s) { walk_floor_bench(s, data); })
            ->Unit(benchmark::kMillisecond);
    }
    // Encoding is the cursor's; only the walk's decoding is its own.
    benchmark::RegisterBenchmark((set + "/decode/vok32x_walk").c_str(), [&data](
                                                                            benchmark::State &s) {
        decode_bench<VokWalk>(s, data);
    })->Unit(benchmark::kMillisecond);
    add_codec<Msgpack<MsgpackPull::zone>>(set, "msgpack_zone", data);
    add_codec<Msgpack<MsgpackPull::next>>(set, "msgpack_next", data);
    add_codec<Cbor>(set, "libcbor", data);
    for (const char *op : {"encode", "decode"}) {
        benchmark::RegisterBenchmark((set + "/" + op + "/memcpy").c_str(),
                                     [&data](benchmark::State &s) { memcpy_bench(s, data); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((set + "/" + op + "/sum").c_str(), [&data](
                                                                            benchmark::State &s) {
            sum_bench(s, data);
        })->Unit(benchmark::kMillisecond);
    }
}

} // namespace
} // namespace bench

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const bench::Dataset &d = bench::dataset();
    if (!bench::verify_all(d.ints) || !bench::verify_all(d.records) || !bench::verify_all(d.blobs))
        return 1;
    bench::add_all("ints", d.ints);
    bench::add_all("records", d.records);
    bench::add_all("blobs", d.blobs);
    if (!bench::add_typed(d.records)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
