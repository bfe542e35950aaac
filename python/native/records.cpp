#include "records.hpp"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "small_vector.hpp"
#include "values.hpp"
#include "vok32.h"
#include "vok32_items.h"

namespace vokpy {
namespace {

// What the codec's decode gives (as vok32._schema's DECODE_* say).
enum Want { kPlain = 0, kWithStatus = 1, kWithMeta = 2 };

struct LevelInfo {
    std::string name; // of a group; empty at the top
    Ref key;          // and as an interned str
    bool repeated = false;
    std::vector<FieldInfo> fields;
    Ref index;         // names (fields, then the top's groups) to their entry number
    Ref python_fields; // the schema's list of fields, for the shared refusals
};

// One level's values by entry (null while absent), for encoding.
using Slots = SmallVector<Ref, 32>;

// A record as read: every level's values in one arena, the top level's first
// (null while absent), then each group occurrence's; and per occurrence its
// group and where its values start.
struct ReadRecord {
    explicit ReadRecord(size_t top_fields) : slots(top_fields) {}
    SmallVector<Ref, 64> slots;
    SmallVector<std::pair<uint32_t, size_t>, 16> occurrences;

    // Where the occurrences of a group start, in order.
    SmallVector<size_t, 16> starts(uint32_t group) const {
        SmallVector<size_t, 16> found;
        for (const auto &[of, start] : occurrences)
            if (of == group) found.push_back(start);
        return found;
    }
};

// How a dataclass takes one level: its init fields, the entry each comes
// from, and the argument names of each combination of fields given.
struct ClassPlan {
    struct Argument {
        Ref name;
        std::string text;
        int entry = -1; // in the level's entries; -1 when the schema lacks it
        bool has_default = false;
        bool keyword_only = false;
        Ref hint;
        Ref inner; // the dataclass a group's hint names (None for none), once looked up
    };
    Ref cls;
    std::string cls_name;
    std::vector<int> foreign; // entries the class has no field for
    std::vector<Argument> arguments;
    std::unordered_map<uint64_t, Ref> names_by_mask;
};

class Codec {
  public:
    bool load(PyObject *schema);
    PyObject *decode(PyObject *const *args, Py_ssize_t count);
    PyObject *encode(PyObject *object);

  private:
    const LevelInfo &level(int group) const { return group < 0 ? top_ : groups_[size_t(group)]; }
    size_t entries(int group) const {
        return level(group).fields.size() + (group < 0 ? groups_.size() : 0);
    }
    bool load_level(LevelInfo &level, PyObject *fields, const vokxFieldSpec *specs);
    PyObject *level_dict(int group, Ref *slots);
    PyObject *record_dict(ReadRecord &record);
    PyObject *fill(const FieldInfo &field, Ref &slot);
    ClassPlan *plan_for(PyObject *cls, int group);
    PyObject *build(PyObject *cls, int group, Ref *slots, ReadRecord &record, const Where &where);
    PyObject *group_value(int group, PyObject *inner, ReadRecord &record);
    PyObject *mapping_of(PyObject *object, const Where &where, const char *refusal,
                         PyObject *known);
    bool gather(PyObject *values, int group, Slots &slots, const Where &where);
    bool put_level(vokxRecordWriter &writer, int group, Slots &slots, const Where &where);

    Ref document_; // keeps the schema's tables alive
    Ref schema_module_;
    Ref group_list_; // the schema's groups, for the shared refusals
    Ref top_names_;  // a set of the top level's names
    const vokxSchema *schema_ = nullptr;
    LevelInfo top_;
    std::vector<LevelInfo> groups_;
    std::vector<Ref> group_names_; // sets of each group's names
    std::map<std::pair<PyObject *, int>, std::unique_ptr<ClassPlan>> plans_;
};

Ref attribute(PyObject *object, const char *name) {
    return Ref(PyObject_GetAttrString(object, name));
}

bool Codec::load_level(LevelInfo &level, PyObject *fields, const vokxFieldSpec *specs) {
    Ref no_default = attribute(schema_module_.get(), "NO_DEFAULT");
    level.index.reset(PyDict_New());
    if (!no_default || !level.index) return false;
    level.python_fields = Ref::borrowed(fields);
    const Py_ssize_t count = PyList_Size(fields);
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject *field = PyList_GET_ITEM(fields, i);
        FieldInfo info;
        info.spec = &specs[i];
        info.kind = specs[i].kind;
        info.repeated = (specs[i].flags & VOKX_REPEATED) != 0;
        info.name = specs[i].name;
        info.key.reset(PyUnicode_InternFromString(specs[i].name));
        Ref names = attribute(field, "names"), fallback = attribute(field, "default");
        if (!info.key || !names || !fallback) return false;
        if (PyDict_Size(names.get()) > 0) {
            info.names = std::move(names);
            info.numbers.reset(PyDict_New());
            PyObject *number, *name;
            Py_ssize_t at = 0;
            while (PyDict_Next(info.names.get(), &at, &number, &name))
                if (PyDict_SetItem(info.numbers.get(), name, number) < 0) return false;
        }
        if (fallback.get() != no_default.get()) info.default_value = std::move(fallback);
        Ref entry(PyLong_FromSsize_t(i));
        if (!entry || PyDict_SetItem(level.index.get(), info.key.get(), entry.get()) < 0)
            return false;
        level.fields.push_back(std::move(info));
    }
    return true;
}

bool Codec::load(PyObject *schema) {
    schema_module_.reset(PyImport_ImportModule("vok32._schema"));
    document_ = attribute(schema, "_document");
    Ref address = attribute(schema, "_schema_ref"), fields = attribute(schema, "fields");
    group_list_ = attribute(schema, "groups");
    if (!schema_module_ || !document_ || !address || !fields || !group_list_) return false;
    schema_ = static_cast<const vokxSchema *>(PyLong_AsVoidPtr(address.get()));
    if (schema_ == nullptr) return false;
    if (!load_level(top_, fields.get(), schema_->fields)) return false;
    for (uint32_t g = 0; g < schema_->group_count; ++g) {
        const vokxGroupSpec &spec = schema_->groups[g];
        LevelInfo level;
        level.name = spec.name;
        level.key.reset(PyUnicode_InternFromString(spec.name));
        if (!level.key) return false;
        level.repeated = (spec.flags & VOKX_REPEATED) != 0;
        Ref group_fields = attribute(PyList_GET_ITEM(group_list_.get(), g), "fields");
        if (!group_fields || !load_level(level, group_fields.get(), spec.fields)) return false;
        Ref key(PyUnicode_InternFromString(spec.name));
        Ref entry(PyLong_FromSize_t(top_.fields.size() + g));
        if (!key || !entry || PyDict_SetItem(top_.index.get(), key.get(), entry.get()) < 0)
            return false;
        groups_.push_back(std::move(level));
    }
    top_names_.reset(PySet_New(top_.index.get()));
    if (!top_names_) return false;
    for (const LevelInfo &group : groups_) {
        group_names_.emplace_back(PySet_New(group.index.get()));
        if (!group_names_.back()) return false;
    }
    return true;
}

// ---------------------------------------------------------------- decoding

PyObject *Codec::fill(const FieldInfo &field, Ref &slot) {
    if (slot) return slot.release();
    if (field.repeated) return PyList_New(0);
    PyObject *value = field.default_value ? field.default_value.get() : Py_None;
    Py_INCREF(value);
    return value;
}

PyObject *Codec::level_dict(int group, Ref *slots) {
    const LevelInfo &info = level(group);
    Ref dict(PyDict_New());
    if (!dict) return nullptr;
    for (size_t i = 0; i < info.fields.size(); ++i) {
        Ref value(fill(info.fields[i], slots[i]));
        if (!value || PyDict_SetItem(dict.get(), info.fields[i].key.get(), value.get()) < 0)
            return nullptr;
    }
    return dict.release();
}

PyObject *Codec::record_dict(ReadRecord &record) {
    Ref dict(level_dict(-1, record.slots.data()));
    if (!dict) return nullptr;
    for (size_t g = 0; g < groups_.size(); ++g) {
        const SmallVector<size_t, 16> starts = record.starts(uint32_t(g));
        Ref value;
        if (groups_[g].repeated) {
            value.reset(PyList_New(static_cast<Py_ssize_t>(starts.size())));
            if (!value) return nullptr;
            for (size_t n = 0; n < starts.size(); ++n) {
                PyObject *occurrence = level_dict(int(g), record.slots.data() + starts[n]);
                if (occurrence == nullptr) return nullptr;
                PyList_SET_ITEM(value.get(), static_cast<Py_ssize_t>(n), occurrence);
            }
        } else if (starts.empty()) {
            value = Ref::borrowed(Py_None);
        } else {
            value.reset(level_dict(int(g), record.slots.data() + starts[0]));
        }
        if (!value) return nullptr;
        if (PyDict_SetItem(dict.get(), groups_[g].key.get(), value.get()) < 0) return nullptr;
    }
    return dict.release();
}

ClassPlan *Codec::plan_for(PyObject *cls, int group) {
    auto found = plans_.find({cls, group});
    if (found != plans_.end()) return found->second.get();
    Ref described(PyObject_CallMethod(schema_module_.get(), "dataclass_fields", "O", cls));
    if (!described) return nullptr;
    PyObject *init = PyTuple_GET_ITEM(described.get(), 0);
    PyObject *all_names = PyTuple_GET_ITEM(described.get(), 1);
    auto plan = std::make_unique<ClassPlan>();
    plan->cls = Ref::borrowed(cls);
    Ref name = attribute(cls, "__name__");
    if (!name) return nullptr;
    plan->cls_name = PyUnicode_AsUTF8(name.get());
    const LevelInfo &info = level(group);
    PyObject *key, *entry;
    Py_ssize_t at = 0;
    std::vector<std::pair<int, PyObject *>> entries;
    while (PyDict_Next(info.index.get(), &at, &key, &entry))
        entries.emplace_back(static_cast<int>(PyLong_AsLong(entry)), key);
    std::sort(entries.begin(), entries.end());
    for (const auto &[number, entry_name] : entries) {
        const int known = PySet_Contains(all_names, entry_name);
        if (known < 0) return nullptr;
        if (known == 0) plan->foreign.push_back(number);
    }
    for (Py_ssize_t i = 0; i < PyList_Size(init); ++i) {
        PyObject *field = PyList_GET_ITEM(init, i);
        ClassPlan::Argument argument;
        argument.name = Ref::borrowed(PyTuple_GET_ITEM(field, 0));
        argument.text = PyUnicode_AsUTF8(argument.name.get());
        argument.has_default = PyObject_IsTrue(PyTuple_GET_ITEM(field, 1)) == 1;
        argument.hint = Ref::borrowed(PyTuple_GET_ITEM(field, 2));
        argument.keyword_only = PyObject_IsTrue(PyTuple_GET_ITEM(field, 3)) == 1;
        PyObject *number = PyDict_GetItemWithError(info.index.get(), argument.name.get());
        if (number == nullptr && PyErr_Occurred()) return nullptr;
        argument.entry = number == nullptr ? -1 : static_cast<int>(PyLong_AsLong(number));
        plan->arguments.push_back(std::move(argument));
    }
    ClassPlan *made = plan.get();
    plans_.emplace(std::make_pair(cls, group), std::move(plan)); // plan->cls keeps the key alive
    return made;
}

// A group's value for a dataclass field: its occurrences built as the
// dataclass the field's hint names.
PyObject *Codec::group_value(int group, PyObject *inner, ReadRecord &record) {
    const LevelInfo &info = level(group);
    const SmallVector<size_t, 16> starts = record.starts(uint32_t(group));
    auto occurrence = [&](size_t n) {
        return build(inner, group, record.slots.data() + starts[n], record, Where{&info.name, n});
    };
    if (!info.repeated) return starts.empty() ? Py_NewRef(Py_None) : occurrence(0);
    Ref list(PyList_New(static_cast<Py_ssize_t>(starts.size())));
    if (!list) return nullptr;
    for (size_t n = 0; n < starts.size(); ++n) {
        PyObject *made = occurrence(n);
        if (made == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(n), made);
    }
    return list.release();
}

PyObject *Codec::build(PyObject *cls, int group, Ref *slots, ReadRecord &record,
                       const Where &where) {
    ClassPlan *plan = plan_for(cls, group);
    if (plan == nullptr) return nullptr;
    const LevelInfo &info = level(group);
    const size_t field_count = info.fields.size();
    // A group (at the top) is absent when it has no occurrence; a field when
    // decode would give None, and empty when it would give None or [].
    auto occurs = [&](size_t entry) {
        for (const auto &[of, start] : record.occurrences)
            if (of == entry - field_count) return true;
        return false;
    };
    auto is_empty = [&](size_t entry) {
        if (entry >= field_count) return !occurs(entry);
        return !slots[entry]
                   ? info.fields[entry].repeated || !info.fields[entry].default_value
                   : slots[entry].get() == Py_None || (PyList_Check(slots[entry].get()) &&
                                                       PyList_GET_SIZE(slots[entry].get()) == 0);
    };
    for (int entry : plan->foreign)
        if (!is_empty(size_t(entry))) {
            const std::string name = entry < int(field_count)
                                         ? info.fields[size_t(entry)].name
                                         : groups_[size_t(entry) - field_count].name;
            return set_record_error(VOKX_BAD_FIELD, where.prefix() + name,
                                    "holds a value but " + plan->cls_name +
                                        " has no field of that name");
        }
    SmallVector<Ref, 32> values; // what is passed, owned
    SmallVector<PyObject *, 32> arguments;
    SmallVector<char, 32> given(plan->arguments.size()); // not bool: vector<bool> has no data()
    uint64_t mask = 0;
    for (size_t k = 0; k < plan->arguments.size(); ++k) {
        ClassPlan::Argument &argument = plan->arguments[k];
        const size_t entry = size_t(argument.entry);
        const bool is_group = argument.entry >= 0 && entry >= field_count;
        const bool absent =
            argument.entry < 0 ||
            (is_group       ? !groups_[entry - field_count].repeated && !occurs(entry)
             : slots[entry] ? slots[entry].get() == Py_None
                            : !info.fields[entry].repeated && !info.fields[entry].default_value);
        if (absent && (argument.entry < 0 || argument.has_default)) {
            if (!argument.has_default)
                return set_record_error(VOKX_BAD_FIELD, where.prefix() + argument.text,
                                        "is not in the schema and " + plan->cls_name +
                                            " gives it no default");
            continue; // the class's default stands
        }
        Ref value;
        if (!is_group) {
            value.reset(fill(info.fields[entry], slots[entry]));
        } else if (absent) {
            value = Ref::borrowed(Py_None);
        } else {
            if (!argument.inner)
                argument.inner.reset(PyObject_CallMethod(schema_module_.get(), "dataclass_in", "O",
                                                         argument.hint.get()));
            if (!argument.inner) return nullptr;
            if (argument.inner.get() == Py_None) {
                Ref hint(PyObject_CallMethod(schema_module_.get(), "hint_text", "O",
                                             argument.hint.get()));
                if (!hint) return nullptr;
                return set_record_error(VOK_WRONG_TYPE, where.prefix() + argument.text,
                                        "the type hint of " + plan->cls_name + "." + argument.text +
                                            " names no dataclass for the group (" +
                                            PyUnicode_AsUTF8(hint.get()) + ")");
            }
            value.reset(group_value(int(entry - field_count), argument.inner.get(), record));
        }
        if (!value) return nullptr;
        arguments.push_back(value.get());
        values.push_back(std::move(value));
        given[k] = 1;
        if (k < 64) mask |= uint64_t{1} << k;
    }
    if (plan->arguments.size() > 64) { // past the mask's reach: the names as a dict
        Ref keywords(PyDict_New());
        if (!keywords) return nullptr;
        for (size_t k = 0, n = 0; k < plan->arguments.size(); ++k)
            if (given[k] &&
                PyDict_SetItem(keywords.get(), plan->arguments[k].name.get(), arguments[n++]) < 0)
                return nullptr;
        Ref none(PyTuple_New(0));
        return none ? PyObject_Call(cls, none.get(), keywords.get()) : nullptr;
    }
    // The arguments given from the first on go by position (the class's
    // __init__ then matches no names), the rest by name.
    size_t leading = 0;
    while (leading < plan->arguments.size() && given[leading] &&
           !plan->arguments[leading].keyword_only)
        ++leading;
    Ref &names = plan->names_by_mask[mask];
    if (!names) {
        names.reset(PyTuple_New(static_cast<Py_ssize_t>(arguments.size() - leading)));
        if (!names) return nullptr;
        Py_ssize_t n = 0;
        for (size_t k = leading; k < plan->arguments.size(); ++k)
            if (given[k]) {
                Py_INCREF(plan->arguments[k].name.get());
                PyTuple_SET_ITEM(names.get(), n++, plan->arguments[k].name.get());
            }
    }
    return PyObject_Vectorcall(cls, arguments.data(), leading,
                               PyTuple_GET_SIZE(names.get()) > 0 ? names.get() : nullptr);
}

PyObject *Codec::decode(PyObject *const *args, Py_ssize_t count) {
    if (count != 4) {
        PyErr_SetString(PyExc_TypeError, "decode(data, cls, allow_trailing, want)");
        return nullptr;
    }
    Bytes data(args[0]);
    if (!data.ok()) return nullptr;
    PyObject *cls = args[1];
    const int allow_trailing = PyObject_IsTrue(args[2]);
    const long want = PyLong_AsLong(args[3]);
    if (allow_trailing < 0 || (want == -1 && PyErr_Occurred())) return nullptr;
    if (!allow_trailing && data.size() >= 4 && vok_load_be32(data.data()) < data.size())
        return set_record_error(VOK_INVALID_STREAM, "", "bytes after the block",
                                vok_load_be32(data.data()));
    vokxRecordReader reader;
    vokxRecordError error;
    vokxRecordField field;
    const uint16_t opened = vokxRecordOpen(&reader, schema_, data.data(), data.size(), &error);
    if (opened != VOK_OK && opened != VOK_OLDER_VERSION && opened != VOK_NEWER_VERSION)
        return set_record_error(opened, error.path, error.message, error.offset);
    ReadRecord record(top_.fields.size());
    Ref unknown(want == kWithMeta ? PyList_New(0) : nullptr);
    uint16_t status;
    while ((status = vokxRecordNext(&reader, &field, &error)) == VOK_OK) {
        if (field.field == VOKX_RECORD_UNKNOWN) {
            if (unknown) {
                Ref item(make_item(field.item));
                if (!item || PyList_Append(unknown.get(), item.get()) < 0) return nullptr;
            }
            continue;
        }
        if (field.field == VOKX_RECORD_GROUP) {
            record.occurrences.push_back({uint32_t(field.group), record.slots.size()});
            record.slots.grow_by(groups_[size_t(field.group)].fields.size());
            continue;
        }
        const FieldInfo &info = level(field.group).fields[size_t(field.field)];
        // The engine reports fields of the occurrence last begun.
        const size_t start =
            field.group < 0 ? 0 : record.occurrences[record.occurrences.size() - 1].second;
        Ref &slot = record.slots[start + size_t(field.field)];
        PyObject *value = decoded_value(info, field.item);
        if (value == nullptr) return nullptr;
        if (!info.repeated) {
            slot.reset(value);
            continue;
        }
        if (!slot) slot.reset(PyList_New(0));
        const int appended = slot ? PyList_Append(slot.get(), value) : -1;
        Py_DECREF(value);
        if (appended < 0) return nullptr;
    }
    if (status != VOK_END_OF_STREAM)
        return set_record_error(status, error.path, error.message, error.offset);
    Ref made(cls == Py_None ? record_dict(record)
                            : build(cls, -1, record.slots.data(), record, Where{}));
    if (!made || want == kPlain) return made.release();
    if (want == kWithStatus) return Py_BuildValue("(OH)", made.get(), opened);
    return Py_BuildValue("(OHO)", made.get(), opened, unknown.get());
}

// ---------------------------------------------------------------- encoding

// A record (where names no group) or an occurrence as a dict: a dict as it
// is, dataclasses and other mappings by the shared rule.
PyObject *Codec::mapping_of(PyObject *object, const Where &where, const char *refusal,
                            PyObject *known) {
    if (PyDict_Check(object)) return Py_NewRef(object);
    std::string path = where.prefix(); // "lines[2]." names the occurrence "lines[2]"
    if (!path.empty()) path.pop_back();
    Ref mapping(PyObject_CallMethod(schema_module_.get(), "as_mapping", "Os#sO", object,
                                    path.data(), static_cast<Py_ssize_t>(path.size()), refusal,
                                    known));
    if (!mapping || PyDict_Check(mapping.get())) return mapping.release();
    return PyObject_CallOneArg(reinterpret_cast<PyObject *>(&PyDict_Type), mapping.get());
}

// The values of a level by entry; a key that is no entry is refused as the
// ctypes codec refuses it.
bool Codec::gather(PyObject *values, int group, Slots &slots, const Where &where) {
    const LevelInfo &info = level(group);
    // Each entry looked up by its interned name; a key left over is no entry.
    Py_ssize_t found = 0;
    for (size_t i = 0; i < slots.size(); ++i) {
        PyObject *key = i < info.fields.size() ? info.fields[i].key.get()
                                               : groups_[i - info.fields.size()].key.get();
        PyObject *value = PyDict_GetItemWithError(values, key);
        if (value == nullptr) {
            if (PyErr_Occurred()) return false;
            continue;
        }
        slots[i] = Ref::borrowed(value);
        ++found;
    }
    if (found == PyDict_GET_SIZE(values)) return true;
    const std::string prefix = where.prefix();
    Ref no_groups(PyList_New(0));
    if (!no_groups) return false;
    Ref refused(PyObject_CallMethod(schema_module_.get(), "refuse_unknown", "OOOs#", values,
                                    info.python_fields.get(),
                                    group < 0 ? group_list_.get() : no_groups.get(), prefix.data(),
                                    static_cast<Py_ssize_t>(prefix.size())));
    return false; // it raises
}

bool Codec::put_level(vokxRecordWriter &writer, int group, Slots &slots, const Where &where) {
    const LevelInfo &info = level(group);
    for (size_t i = 0; i < info.fields.size(); ++i) {
        PyObject *value = slots[i].get();
        if (value == nullptr || value == Py_None) continue;
        const FieldInfo &field = info.fields[i];
        if (field.repeated && !PyList_Check(value) && !PyTuple_Check(value))
            return refuse(VOK_WRONG_TYPE, Path{where, field.name}, "must be an array");
        const int is_default = holds_default(field, value);
        if (is_default < 0) return false;
        if (is_default) continue;
        if (!field.repeated) {
            if (!put_value(writer, uint32_t(i), field, value, where)) return false;
            continue;
        }
        Ref items(PySequence_Fast(value, "must be an array"));
        if (!items) return false;
        for (Py_ssize_t n = 0; n < PySequence_Fast_GET_SIZE(items.get()); ++n)
            if (!put_value(writer, uint32_t(i), field, PySequence_Fast_GET_ITEM(items.get(), n),
                           where))
                return false;
    }
    return true;
}

// Frees a stream however encoding ends.
struct StreamGuard {
    vokStream stream{};
    ~StreamGuard() { vokDestroyStream(stream.data); }
};

bool record_status(uint16_t status, const vokxRecordError &error) {
    if (status == VOK_OK) return true;
    set_record_error(status, error.path, error.message, error.offset);
    return false;
}

PyObject *Codec::encode(PyObject *object) {
    Ref values(mapping_of(object, Where{}, "a record must be a mapping or a dataclass instance",
                          top_names_.get()));
    if (!values) return nullptr;
    Slots top(entries(-1));
    if (!gather(values.get(), -1, top, Where{})) return nullptr;
    StreamGuard guard;
    vokStream &stream = guard.stream;
    if (uint16_t status = vokCreateStream(&stream, uint8_t(schema_->type), schema_->version))
        return set_vok_error(status);
    vokxRecordWriter writer;
    vokxRecordError error;
    if (!record_status(vokxRecordBegin(&writer, schema_, &stream, &error), error)) return nullptr;
    if (!put_level(writer, -1, top, Where{})) return nullptr;
    for (size_t g = 0; g < groups_.size(); ++g) {
        PyObject *given = top[top_.fields.size() + g].get();
        if (given == nullptr || given == Py_None) continue;
        const LevelInfo &info = groups_[g];
        if (info.repeated && !PyList_Check(given) && !PyTuple_Check(given))
            return set_record_error(VOK_WRONG_TYPE, info.name, "must be an array of objects");
        Ref items(info.repeated ? PySequence_Fast(given, "") : Py_BuildValue("(O)", given));
        if (!items) return nullptr;
        for (Py_ssize_t n = 0; n < PySequence_Fast_GET_SIZE(items.get()); ++n) {
            const Where where{&info.name, size_t(n)};
            PyObject *occurrence = PySequence_Fast_GET_ITEM(items.get(), n);
            Ref level_values(
                mapping_of(occurrence, where, "must be an object", group_names_[g].get()));
            if (!level_values) return nullptr;
            Slots slots(info.fields.size());
            if (!gather(level_values.get(), int(g), slots, where)) return nullptr;
            if (!record_status(vokxRecordGroup(&writer, uint32_t(g), &error), error))
                return nullptr;
            if (!put_level(writer, int(g), slots, where)) return nullptr;
        }
    }
    if (!record_status(vokxRecordEnd(&writer, &error), error)) return nullptr;
    if (uint16_t status = vokCloseStream(&stream)) return set_vok_error(status);
    return PyBytes_FromStringAndSize(reinterpret_cast<const char *>(vokGetData(&stream)),
                                     vokGetLength(&stream));
}

// ---------------------------------------------------------------- binding

constexpr const char *kCapsule = "vok32._native.Codec";

Codec *codec_of(PyObject *capsule) {
    return static_cast<Codec *>(PyCapsule_GetPointer(capsule, kCapsule));
}

PyObject *decode_entry(PyObject *capsule, PyObject *const *args, Py_ssize_t count) {
    return codec_of(capsule)->decode(args, count);
}

PyObject *encode_entry(PyObject *capsule, PyObject *object) {
    return codec_of(capsule)->encode(object);
}

PyMethodDef decode_method = {"decode",
                             reinterpret_cast<PyCFunction>(reinterpret_cast<void *>(decode_entry)),
                             METH_FASTCALL, "decode(data, cls, allow_trailing, want)"};
PyMethodDef encode_method = {"encode", encode_entry, METH_O, "encode(record) -> bytes"};

// The codec of a vok32.Schema: an object whose encode and decode are plain
// C functions bound to it, so that a call costs no dispatch.
py::object make_codec(py::handle schema) {
    auto codec = std::make_unique<Codec>();
    if (!codec->load(schema.ptr())) throw_set();
    PyObject *capsule = PyCapsule_New(codec.get(), kCapsule, [](PyObject *self) {
        delete static_cast<Codec *>(PyCapsule_GetPointer(self, kCapsule));
    });
    if (capsule == nullptr) throw_set();
    codec.release();
    Ref owner(capsule);
    Ref decode(PyCFunction_New(&decode_method, owner.get()));
    Ref encode(PyCFunction_New(&encode_method, owner.get()));
    if (!decode || !encode) throw_set();
    return py::module_::import("types").attr("SimpleNamespace")(
        py::arg("encode") = py::reinterpret_steal<py::object>(encode.release()),
        py::arg("decode") = py::reinterpret_steal<py::object>(decode.release()));
}

} // namespace

void bind_records(py::module_ &module) {
    if (!init_values()) throw_set();
    module.def("Codec", &make_codec, py::arg("schema"),
               "The encoder and decoder of a vok32.Schema's records.");
}

} // namespace vokpy
