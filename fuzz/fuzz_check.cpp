// The tool's structural checker on arbitrary files: it must never crash, and
// it must call a file well-formed exactly when a walk with the library's
// readers, item by item with the reader of each tag, reaches the end marker
// at the block's last byte.  dump must agree, and a well-formed block dumped
// in either notation must pack back to the very bytes.  Read as a whole, the
// file must give the blocks, damaged blocks and skipped ranges that the
// documented rule gives, the rule being applied here by brute force with
// the readers' walk (block_reader.hpp states it).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "block_reader.hpp"
#include "checker.hpp"
#include "dumper.hpp"
#include "packer.hpp"
#include "vok32.h"
#include "vok32x.h"

namespace {

uint32_t big_endian(const uint8_t *p, unsigned width) {
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Reads one item with the reader its tag calls for; false if the tag has no
// reader or the reader refuses.
bool read_one(vokStream &s, uint8_t tag) {
    if (tag < VOK_START) return vokReadUserMark(&s) == tag;
    uint32_t u = 0;
    int32_t i = 0;
    uint8_t phrase = 0;
    switch (tag) {
    case VOK_FLAG:
        return vokReadFlag(&s, &u) == VOK_OK;
    case VOK_PHRASE_MARK:
        return vokReadPhraseMark(&s, &phrase) == VOK_OK;
    case VOK_UNSIGNED_1:
    case VOK_UNSIGNED_2:
    case VOK_UNSIGNED_4:
        return vokReadUnsigned(&s, &u) == VOK_OK;
    case VOK_SIGNED_1:
    case VOK_SIGNED_2:
    case VOK_SIGNED_4:
        return vokReadSigned(&s, &i) == VOK_OK;
    case VOK_STRING_1:
    case VOK_STRING_2:
    case VOK_UTF8_1:
    case VOK_UTF8_2:
    case VOK_UTF8_4:
    case VOK_SAFE_1:
    case VOK_SAFE_2: {
        if (vokGetStringSize(&s, &u) != VOK_OK) return false;
        std::vector<char> buffer(u + 1u);
        const uint16_t status = vokReadString(&s, buffer.data());
        return status == (tag == VOK_SAFE_1 || tag == VOK_SAFE_2 ? VOK_UNEXPECTED : VOK_OK);
    }
    default:
        return false;
    }
}

bool well_formed_by_readers(const uint8_t *block, size_t size) {
    if (size < 9 || size > UINT32_MAX || big_endian(block, 4) != size) return false;
    const uint8_t tag = block[6];
    const unsigned w = tag == VOK_UNSIGNED_1 ? 1 : tag == VOK_UNSIGNED_2 ? 2 : 4;
    const uint32_t version = 7 + w <= size ? big_endian(block + 7, w) : 0;
    vokStream s{};
    if (vokOpenStream(&s, block, block[5], version) != VOK_OK) return false;
    for (;;) {
        if (vokPeek(&s) == VOK_END) return s.position == size - 1;
        if (s.position >= size || !read_one(s, block[s.position])) return false;
    }
}

// The file's first block as the tool's reader hands it over, in a copy with
// the spare byte after it: the bytes its length field counts, or fewer where
// the file ends first.  Bytes after it would be the next block.
std::vector<uint8_t> first_block(const std::vector<uint8_t> &file) {
    size_t size = file.size();
    if (size >= 4) size = std::min<size_t>(size, std::max<uint32_t>(big_endian(file.data(), 4), 4));
    std::vector<uint8_t> copy(file.begin(), file.begin() + static_cast<long>(size));
    copy.push_back(0);
    return copy;
}

vok::tool::Block as_block(std::vector<uint8_t> &copy) { return {0, copy.data(), copy.size() - 1}; }

// dump's verdict, and its listing in the notation or the JSON lines.
bool dumps_clean(const std::vector<uint8_t> &file, bool json, std::string &listing) {
    std::vector<uint8_t> copy = first_block(file);
    vok::tool::Sink out;
    const bool clean =
        vok::tool::dump_stream(as_block(copy), out, {.json = json, .notation = {}}).empty();
    listing = out.text();
    return clean && copy.size() - 1 == file.size();
}

void expect_round_trips(const std::vector<uint8_t> &file, bool checker_ok) {
    for (const bool json : {false, true}) {
        std::string listing;
        if (dumps_clean(file, json, listing) != checker_ok) {
            std::fprintf(stderr, "dump and check disagree\n");
            std::abort();
        }
        std::vector<uint8_t> packed;
        vok::tool::PackError error;
        if (checker_ok && (!vok::tool::pack_text(listing, packed, error, json) || packed != file)) {
            std::fprintf(stderr, "%s does not pack back: %s\n", listing.c_str(),
                         error.message.c_str());
            std::abort();
        }
    }
}

// What the tool's reader finds in the file, one word each.
std::vector<std::string> found_by_reader(const std::vector<uint8_t> &file, uint32_t max_block) {
    const int fd = memfd_create("input", 0);
    if (fd < 0 || (!file.empty() && write(fd, file.data(), file.size()) < 0)) std::abort();
    vok::tool::Input input;
    std::string error;
    if (!input.open("/proc/self/fd/" + std::to_string(fd), error)) std::abort();
    close(fd);
    vok::tool::BlockReader reader(input, {max_block, {}});
    std::vector<std::string> found;
    const bool read = vok::tool::visit_blocks(
        reader,
        [&](const vok::tool::Found &f) {
            if (f.kind == vok::tool::BlockReader::Result::skipped)
                found.push_back("skipped " + std::to_string(f.skipped->from) + "-" +
                                std::to_string(f.skipped->to));
            else
                found.push_back(
                    (f.kind == vok::tool::BlockReader::Result::block ? "block " : "damaged ") +
                    std::to_string(f.block->offset));
            return true;
        },
        error);
    if (!read) std::abort();
    return found;
}

// The same by the rule: a block whose frame vokxInspect accepts is read and
// the next one sought at its end; after one it refuses, the first later
// place is taken where a block of at most max_block bytes walks to its end
// marker and is followed by another or by the end of the file.
std::vector<std::string> found_by_rule(const std::vector<uint8_t> &file, uint32_t max_block) {
    const uint8_t *d = file.data();
    const size_t n = file.size();
    const auto length_at = [&](size_t at) { return n - at < 4 ? 0 : big_endian(d + at, 4); };
    const auto sound = [&](size_t at) {
        const uint32_t length = length_at(at);
        return length != 0 && length <= max_block && length <= n - at &&
               vokxInspect(d + at, length, nullptr) == VOK_OK;
    };
    const auto walks = [&](size_t at) {
        const uint32_t length = length_at(at);
        return length <= max_block && length <= n - at && well_formed_by_readers(d + at, length);
    };
    if (n == 0) return {"damaged 0"};
    std::vector<std::string> found;
    for (size_t at = 0; at < n;) {
        if (sound(at)) {
            found.push_back("block " + std::to_string(at));
            at += length_at(at);
            continue;
        }
        found.push_back("damaged " + std::to_string(at));
        size_t next = at + 1;
        while (next < n &&
               !(walks(next) && (next + length_at(next) == n || walks(next + length_at(next)))))
            ++next;
        found.push_back("skipped " + std::to_string(at) + "-" + std::to_string(std::min(next, n)));
        at = next;
    }
    return found;
}

void expect_the_rule(const std::vector<uint8_t> &file) {
    for (const uint32_t max_block : {vok::tool::ScanRules::kDefaultMaxBlock, uint32_t{40}}) {
        const std::vector<std::string> reader = found_by_reader(file, max_block);
        const std::vector<std::string> rule = found_by_rule(file, max_block);
        if (reader != rule) {
            std::fprintf(stderr, "max %u, reader | rule:\n", max_block);
            for (size_t i = 0; i < std::max(reader.size(), rule.size()); ++i)
                std::fprintf(stderr, "  %s | %s\n", i < reader.size() ? reader[i].c_str() : "",
                             i < rule.size() ? rule[i].c_str() : "");
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size heap copy, so that reads past the file are reported.
    std::vector<uint8_t> file(data, data + size);
    std::vector<uint8_t> checked = first_block(file);
    const vok::tool::CheckReport report = vok::tool::check_stream(as_block(checked), {});
    const bool checker_ok = report.problems.empty() && checked.size() - 1 == file.size();
    const bool readers_ok = well_formed_by_readers(file.data(), file.size());
    if (checker_ok != readers_ok) {
        std::fprintf(stderr, "checker says %s, readers say %s\n", checker_ok ? "ok" : "broken",
                     readers_ok ? "ok" : "broken");
        for (const auto &p : report.problems)
            std::fprintf(stderr, "  %llu: %s\n", static_cast<unsigned long long>(p.offset),
                         p.message.c_str());
        std::abort();
    }
    expect_round_trips(file, checker_ok);
    expect_the_rule(file);
    return 0;
}
