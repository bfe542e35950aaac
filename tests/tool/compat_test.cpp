// `vok schema compat` against what records do: schema pairs derived from a
// base by each change of the compatibility table, random records written
// under one and read under the other by the model of records.  Compatible
// means every record reads and the fields both schemas name hold the same
// values; each direction's verdict must say so.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "record_writing_model.hpp"
#include "schema_compat.hpp"

namespace {

using vok_model::json;

struct Schema {
    vokxSchemaDocument *document = nullptr;
    explicit Schema(const json &j) {
        const std::string text = j.dump();
        EXPECT_EQ(vokxSchemaParse(text.data(), text.size(), &document, nullptr), VOK_OK) << text;
    }
    ~Schema() { vokxSchemaFree(document); }
    const vokxSchema &operator*() const { return *vokxSchemaOf(document); }
};

// The names of a schema: {"a": true, "g": {"x": true}}, renamed as asked.
json names_of(const vokxSchema &s, const std::map<std::string, std::string> &renamed = {}) {
    const auto level = [](const vokxFieldSpec *f, uint32_t n) {
        json out = json::object();
        for (uint32_t i = 0; i < n; ++i)
            out[f[i].name] = true;
        return out;
    };
    json out = level(s.fields, s.field_count);
    for (uint32_t g = 0; g < s.group_count; ++g)
        out[s.groups[g].name] = level(s.groups[g].fields, s.groups[g].field_count);
    for (const auto &[was, now] : renamed)
        if (out.contains(was)) out[now] = out[was], out.erase(was);
    return out;
}

// Values under the names given, group occurrences alike.
json keep(const json &values, const json &names) {
    json out = json::object();
    for (const auto &[key, value] : values.items()) {
        if (!names.contains(key)) continue;
        if (!names[key].is_object()) {
            out[key] = value;
        } else if (value.is_array()) {
            for (const json &occurrence : value)
                out[key].push_back(keep(occurrence, names[key]));
        } else {
            out[key] = keep(value, names[key]);
        }
    }
    return out;
}

// Records of `from` read by `to`: all read, with equal values under the
// names both know (`renamed`: from's names that are to's under another).
bool records_carry(const vokxSchema &from, const vokxSchema &to,
                   const std::map<std::string, std::string> &renamed) {
    const json both[] = {names_of(from, renamed), names_of(to)};
    vok_model::RecordMaker maker(from, 7);
    for (int written = 0; written < 150;) {
        const vok_model::Written w = vok_model::write(from, maker.next());
        if (w.status != VOK_OK) continue;
        ++written;
        const vok_model::Verdict a = vok_model::read(from, w.bytes.data(), w.bytes.size());
        const vok_model::Verdict b = vok_model::read(to, w.bytes.data(), w.bytes.size());
        if (b.status != VOK_END_OF_STREAM) return false;
        json sent = vok_model::dumped(from, w.bytes, a);
        for (const auto &[was, now] : renamed)
            if (sent.contains(was)) sent[now] = sent[was], sent.erase(was);
        const json received = vok_model::dumped(to, w.bytes, b);
        if (keep(keep(sent, both[0]), both[1]) != keep(keep(received, both[0]), both[1]))
            return false;
    }
    return true;
}

TEST(Compat, EachVerdictPredictsWhatRecordsDo) {
    std::ifstream file(VOK_SOURCE_DIR "/tests/model/compat.json");
    const json pairs = json::parse(file);
    for (const json &change : pairs["changes"]) {
        SCOPED_TRACE(change["row"].get<std::string>());
        const Schema old_schema(pairs["base"]), new_schema(pairs["base"].patch(change["patch"]));
        bool new_reads_old = true, old_reads_new = true;
        for (const vok::tool::SchemaChange &c :
             vok::tool::compare_schemas(*old_schema, *new_schema))
            new_reads_old &= c.new_reads_old, old_reads_new &= c.old_reads_new;
        const auto renamed = change.value("renamed", std::map<std::string, std::string>());
        std::map<std::string, std::string> back;
        for (const auto &[was, now] : renamed)
            back[now] = was;
        const std::vector<bool> verdicts = change["verdicts"];
        EXPECT_EQ(std::vector<bool>({new_reads_old, old_reads_new}), verdicts)
            << "vok schema compat";
        EXPECT_EQ(std::vector<bool>({records_carry(*old_schema, *new_schema, renamed),
                                     records_carry(*new_schema, *old_schema, back)}),
                  verdicts)
            << "records";
    }
}

} // namespace
