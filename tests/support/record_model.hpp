// A deliberately plain model of the record rules of docs/schema.md, written
// from the rules and not from the engine: every reader of records is held to
// its verdicts.  Only the walk from item to item is vok32x's (vokxOpen,
// vokxNextItem); what the items mean for a schema is decided here, one item
// at a time, with the state a person would keep on paper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vok32x.h"

namespace vok_model {

// What a reader reports: each field, group occurrence or item passed over,
// then the verdict (VOK_END_OF_STREAM for a complete record).
struct Event {
    int32_t group;       // -1: the top level
    uint32_t occurrence; // of the group
    int32_t field;       // index in its level, VOKX_RECORD_GROUP or VOKX_RECORD_UNKNOWN
    uint32_t offset;     // of the item reported
    bool operator==(const Event &) const = default;
};

struct Verdict {
    uint16_t status = VOK_OK; // of opening when it fails, else of the last step
    std::string path;
    uint32_t offset = 0;
    uint16_t version = VOK_OK; // VOK_OK, VOK_OLDER_VERSION or VOK_NEWER_VERSION
    std::vector<Event> events;
};

namespace detail {

struct Item {
    uint32_t kind_class;
    uint32_t value;
    uint32_t offset;
    uint32_t length; // of a string's content
};

// Whether a value item may stand for a field of this kind: the six kinds of
// an item class take their class; the 64-bit ones a number of their sign or
// a plain string of 8 bytes; floats only a plain string of 4 or 8; an enum
// an unsigned number.
inline bool carries(uint32_t kind, const Item &item) {
    const bool string = item.kind_class == VOKX_CLASS_STRING;
    switch (kind) {
    case VOKX_KIND_UNSIGNED64:
        return item.kind_class == VOKX_CLASS_UNSIGNED || (string && item.length == 8);
    case VOKX_KIND_SIGNED64:
    case VOKX_KIND_TIMESTAMP:
        return item.kind_class == VOKX_CLASS_SIGNED || (string && item.length == 8);
    case VOKX_KIND_FLOAT32:
        return string && item.length == 4;
    case VOKX_KIND_FLOAT64:
        return string && item.length == 8;
    case VOKX_KIND_ENUM:
        return item.kind_class == VOKX_CLASS_UNSIGNED;
    default:
        return item.kind_class == kind;
    }
}

inline std::string path_of(const vokxSchema &s, int32_t group, uint32_t occurrence,
                           const char *field) {
    if (group < 0) return field;
    std::string path = std::string(s.groups[group].name) + "[" + std::to_string(occurrence) + "]";
    return *field != '\0' ? path + "." + field : path;
}

inline bool is_required(uint32_t flags) { return flags == 0; }

} // namespace detail

inline Verdict read(const vokxSchema &s, const uint8_t *bytes, size_t size) {
    using detail::Item;
    Verdict v;
    vokStream stream{};
    const uint16_t opened = vokxOpen(&stream, bytes, size, static_cast<uint8_t>(s.type), s.version);
    if (opened != VOK_OK && opened != VOK_OLDER_VERSION && opened != VOK_NEWER_VERSION) {
        // The type byte is named by its own offset; other refusals where the
        // opening stopped.
        v.status = opened;
        v.offset = opened == VOK_WRONG_STREAM_TYPE ? 5 : stream.position;
        return v;
    }
    v.version = opened;

    // The items, and how the walk ended: at the end marker, or refused.
    std::vector<Item> items;
    uint16_t walked;
    for (vokxItem item;;) {
        walked = vokxNextItem(&stream, &item);
        if (walked != VOK_OK) {
            items.push_back({0, 0, walked == VOK_END_OF_STREAM ? item.offset : stream.position, 0});
            break;
        }
        items.push_back({vokxKindClass(item.kind), item.value, item.offset, item.length});
    }

    // The state of reading.
    const int32_t kTop = -1, kUnknownGroup = -2, kNone = -1;
    int32_t group = kTop;                      // the level
    uint32_t occurrence = 0;                   // of that group
    std::vector<uint32_t> seen(200, 0);        // per field of the level
    std::vector<uint32_t> occurrences(256, 0); // per group
    int32_t awaiting = kNone;                  // a field whose mark came, not its value
    uint32_t awaiting_at = 0;
    int32_t just_read = kNone; // the field whose value came last
    bool skipping = false;     // after a mark the level does not know

    using Fields = std::vector<vokxFieldSpec>; // plain, not fast
    const auto fields_of = [&](int32_t g) {
        return g < 0 ? Fields(s.fields, s.fields + s.field_count)
                     : Fields(s.groups[g].fields, s.groups[g].fields + s.groups[g].field_count);
    };
    const auto refuse = [&](uint16_t status, uint32_t offset, std::string path) {
        v.status = status;
        v.offset = offset;
        v.path = std::move(path);
        return v;
    };
    const auto field_path = [&](int32_t field) {
        return detail::path_of(s, group, occurrence,
                               fields_of(group)[static_cast<size_t>(field)].name);
    };
    // Leaving a level: a mark still waiting, then its required fields; true
    // when that refuses the record (v says why).
    const auto leave = [&](uint32_t offset) {
        if (awaiting != kNone)
            return refuse(VOKX_BAD_FIELD, awaiting_at, field_path(awaiting)), true;
        const Fields fields = group == kUnknownGroup ? Fields() : fields_of(group);
        for (size_t i = 0; i < fields.size(); ++i)
            if (detail::is_required(fields[i].flags) && seen[i] == 0)
                return refuse(VOKX_MISSING_FIELD, offset, field_path(static_cast<int32_t>(i))),
                       true;
        return false;
    };
    // One more occurrence of a field or group: VOK_OK or why not.
    const auto too_often = [](uint32_t count, uint32_t flags, uint32_t max) -> uint16_t {
        if ((flags & VOKX_REPEATED) != 0) return count > max ? VOKX_TOO_MANY : VOK_OK;
        return count > 1 ? VOKX_REPEATED_FIELD : VOK_OK;
    };

    for (const Item &item : items) {
        if (item.kind_class == 0) { // how the walk ended
            if (walked != VOK_END_OF_STREAM) return refuse(walked, item.offset, "");
            if (leave(item.offset)) return v;
            for (uint32_t g = 0; g < s.group_count; ++g)
                if (detail::is_required(s.groups[g].flags) && occurrences[g] == 0)
                    return refuse(VOKX_MISSING_FIELD, item.offset, s.groups[g].name);
            return refuse(VOK_END_OF_STREAM, 0, "");
        }
        if (item.kind_class == VOKX_CLASS_PHRASE) {
            if (leave(item.offset)) return v;
            int32_t found = kUnknownGroup;
            for (uint32_t g = 0; g < s.group_count; ++g)
                if (s.groups[g].phrase == item.value) found = static_cast<int32_t>(g);
            const uint32_t before = occurrence;
            group = found;
            occurrence = 0;
            awaiting = just_read = kNone;
            skipping = false;
            if (found == kUnknownGroup) {
                v.events.push_back({-1, before, VOKX_RECORD_UNKNOWN, item.offset});
                continue;
            }
            seen.assign(200, 0);
            occurrence = occurrences[static_cast<size_t>(found)]++;
            const vokxGroupSpec &g = s.groups[found];
            if (const uint16_t status =
                    too_often(occurrences[static_cast<size_t>(found)], g.flags, g.max))
                return refuse(status, item.offset, detail::path_of(s, group, occurrence, ""));
            v.events.push_back({found, occurrence, VOKX_RECORD_GROUP, item.offset});
            continue;
        }
        const int32_t reported_group = group < 0 ? -1 : group;
        if (group == kUnknownGroup) { // everything up to the next phrase
            v.events.push_back({-1, 0, VOKX_RECORD_UNKNOWN, item.offset});
            continue;
        }
        const Fields fields = fields_of(group);
        if (item.kind_class == VOKX_CLASS_USER_MARK) {
            if (awaiting != kNone) return refuse(VOKX_BAD_FIELD, awaiting_at, field_path(awaiting));
            just_read = kNone;
            int32_t found = kNone;
            for (size_t i = 0; i < fields.size(); ++i)
                if (fields[i].mark == item.value) found = static_cast<int32_t>(i);
            skipping = found == kNone;
            if (skipping)
                v.events.push_back({reported_group, occurrence, VOKX_RECORD_UNKNOWN, item.offset});
            awaiting = found;
            awaiting_at = item.offset;
            continue;
        }
        if (skipping) { // a value of a mark the level does not know
            v.events.push_back({reported_group, occurrence, VOKX_RECORD_UNKNOWN, item.offset});
            continue;
        }
        if (awaiting == kNone)
            return refuse(VOKX_BAD_FIELD, item.offset,
                          just_read != kNone ? field_path(just_read)
                                             : detail::path_of(s, group, occurrence, ""));
        const vokxFieldSpec &f = fields[static_cast<size_t>(awaiting)];
        if (!detail::carries(f.kind, item))
            return refuse(VOK_WRONG_TYPE, item.offset, field_path(awaiting));
        if (const uint16_t status =
                too_often(++seen[static_cast<size_t>(awaiting)], f.flags, f.max))
            return refuse(status, item.offset, field_path(awaiting));
        v.events.push_back({reported_group, occurrence, awaiting, item.offset});
        just_read = awaiting;
        awaiting = kNone;
    }
    return v; // not reached: the walk always ends
}

// The engine's account of a block (vokxRecordOpen, vokxRecordNext), in the
// model's terms.
inline Verdict engine(const vokxSchema &s, const uint8_t *bytes, size_t size) {
    Verdict v;
    vokxRecordReader reader;
    vokxRecordError error{};
    vokxRecordField f;
    uint16_t status = vokxRecordOpen(&reader, &s, bytes, size, &error);
    if (status == VOK_OK || status == VOK_OLDER_VERSION || status == VOK_NEWER_VERSION) {
        v.version = status;
        while ((status = vokxRecordNext(&reader, &f, &error)) == VOK_OK)
            v.events.push_back({f.group, f.occurrence, f.field, f.item.offset});
        if (vokxRecordNext(&reader, &f, nullptr) != status) v.version = 0xFFFF; // it must stay
    }
    v.status = status;
    if (status != VOK_END_OF_STREAM) v.path = error.path, v.offset = error.offset;
    return v;
}

// The same verdict and reports; passed-over items are compared by offset
// alone (which level's occurrence counts an unknown phrase mark is nobody's
// business).
inline bool same(const Verdict &a, const Verdict &b) {
    bool same_events = a.events.size() == b.events.size();
    for (size_t i = 0; same_events && i < a.events.size(); ++i) {
        const Event &x = a.events[i], &y = b.events[i];
        same_events =
            x.field == VOKX_RECORD_UNKNOWN ? y.field == x.field && y.offset == x.offset : x == y;
    }
    return same_events && a.status == b.status && a.path == b.path && a.offset == b.offset &&
           a.version == b.version;
}

} // namespace vok_model
