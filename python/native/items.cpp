#include "items.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "blocks.hpp"
#include "vok32.h"
#include "vok32_items.h"

namespace vokpy {
namespace {

constexpr uint32_t kMaxUserMark = 199;
constexpr size_t kMaxShortString = 65535;

// The package's range check: value as an int in low..high, or its ValueError.
template <typename T> T checked(py::handle value, long long low, long long high, const char *what) {
    return py::reinterpret_borrow<py::object>(shared.checked_int)(value, low, high, what).cast<T>();
}

py::object kind_object(uint8_t kind) {
    return py::reinterpret_borrow<py::object>(PyList_GET_ITEM(shared.kinds, kind));
}

const Text &required(const Text &text) {
    if (!text.ok()) throw_set();
    return text;
}

class Writer {
  public:
    Writer(py::handle stream_type, py::handle version) {
        const auto type = checked<uint8_t>(stream_type, 0, 255, "stream type");
        const auto number = checked<uint32_t>(version, 0, UINT32_MAX, "version");
        check(vokCreateStream(&handle_, type, number));
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;
    ~Writer() { release(); }

    void user_mark(py::handle mark) {
        const py::int_ number = py::reinterpret_steal<py::int_>(PyNumber_Index(mark.ptr()));
        if (!number) throw_set();
        int overflow = 0;
        const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
        if (overflow != 0 || value < 0 || value > kMaxUserMark) {
            set_out_of_range(VOK_MARK_OUT_OF_RANGE);
            throw_set();
        }
        check(vokWriteUserMark(&handle_, static_cast<uint8_t>(value)));
    }
    void phrase(py::handle identifier) {
        check(vokWritePhraseMark(&handle_,
                                 checked<uint8_t>(identifier, 0, 255, "phrase identifier")));
    }
    void flag(py::handle value) {
        const int truth = PyObject_IsTrue(value.ptr());
        if (truth < 0) throw_set();
        check(vokWriteFlag(&handle_, truth));
    }
    void unsigned_(py::handle value) {
        check(
            vokWriteUnsigned(&handle_, checked<uint32_t>(value, 0, UINT32_MAX, "unsigned value")));
    }
    void signed_(py::handle value) {
        check(vokWriteSigned(&handle_,
                             checked<int32_t>(value, INT32_MIN, INT32_MAX, "signed value")));
    }
    void string(py::handle data) {
        const Text text(data.ptr());
        required(text);
        if (text.size() > kMaxShortString) out_of_range(VOK_STRING_TOO_LONG);
        write_text(text, VOK_STRING_PLAIN);
    }
    void utf8(py::handle data) {
        const Text text(data.ptr());
        write_text(required(text), VOK_STRING_UTF8);
    }
    void safe(py::handle data) {
        const Text text(data.ptr());
        required(text);
        if (text.size() > kMaxShortString) out_of_range(VOK_STRING_TOO_LONG);
        // Only the length is stored: a zero-free stand-in gives the same item.
        const std::string stand_in(text.size(), 'x');
        const uint16_t status = vokWriteSafeString(&handle_, stand_in.c_str());
        if (status != VOK_UNEXPECTED) check(status); // "withheld" is the item's purpose
    }
    void item(py::handle encoded) {
        const py::bytes raw = py::reinterpret_steal<py::bytes>(
            PyObject_CallOneArg(reinterpret_cast<PyObject *>(&PyBytes_Type), encoded.ptr()));
        if (!raw) throw_set();
        const std::string_view bytes(PyBytes_AS_STRING(raw.ptr()),
                                     static_cast<size_t>(PyBytes_GET_SIZE(raw.ptr())));
        check(
            vokxWriteItem(&handle_, reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    }
    py::bytes finish() {
        if (handle_.active == 0) check(VOK_NOT_ACTIVE);
        check(vokCloseStream(&handle_));
        py::bytes block(reinterpret_cast<const char *>(vokGetData(&handle_)),
                        vokGetLength(&handle_));
        release();
        return block;
    }
    void release() {
        uint8_t *data = handle_.data;
        handle_.data = nullptr;
        handle_.active = 0;
        vokDestroyStream(data);
    }

  private:
    [[noreturn]] static void out_of_range(uint16_t status) {
        set_out_of_range(status);
        throw_set();
    }
    // The text writers stop at a zero byte; an item holding one is encoded
    // here and appended whole.
    void write_text(const Text &text, unsigned form) {
        const char *bytes = reinterpret_cast<const char *>(text.data()); // terminated: bytes' own
        if (std::memchr(bytes, 0, text.size()) == nullptr) {
            check(form == VOK_STRING_PLAIN ? vokWriteString(&handle_, bytes)
                                           : vokWriteUTF8String(&handle_, bytes));
            return;
        }
        const std::unique_ptr<uint8_t[]> encoded(new uint8_t[text.size() + 8]);
        const uint8_t *end =
            vok_put_string(encoded.get(), form, text.data(), static_cast<uint32_t>(text.size()));
        check(vokxWriteItem(&handle_, encoded.get(), static_cast<size_t>(end - encoded.get())));
    }

    vokStream handle_{};
};

class Reader {
  public:
    Reader(py::handle data, py::handle stream_type, py::handle version, bool allow_trailing)
        : data_(block_bytes(data)) {
        const auto *bytes = reinterpret_cast<const uint8_t *>(PyBytes_AS_STRING(data_.ptr()));
        const auto size = static_cast<size_t>(PyBytes_GET_SIZE(data_.ptr()));
        if (!allow_trailing && size >= 4 && vok_load_be32(bytes) < size)
            check(VOK_INVALID_STREAM, vok_load_be32(bytes));
        if (stream_type.is_none() || version.is_none()) {
            const vokxBlockInfo info = inspect_or_raise(bytes, size);
            if (stream_type.is_none()) type_ = info.type;
            if (version.is_none()) version_ = info.version;
        }
        if (!stream_type.is_none()) type_ = checked<uint8_t>(stream_type, 0, 255, "stream type");
        if (!version.is_none()) version_ = checked<uint32_t>(version, 0, UINT32_MAX, "version");
        const uint16_t status = vokxOpen(&handle_, bytes, size, type_, version_);
        if (status != VOK_OK && status != VOK_OLDER_VERSION && status != VOK_NEWER_VERSION)
            check(status, handle_.position);
        version_status_ = py::reinterpret_borrow<py::object>(shared.status)(status);
    }

    py::object version_status() const { return version_status_; }
    uint32_t position() const { return handle_.position; }
    void reset() { at(vokReset(&handle_)); }
    py::object peek() { return kind_object(vokPeek(&handle_)); }
    py::object next() {
        vokxItem item;
        const uint16_t status = vokxNextItem(&handle_, &item);
        if (status == VOK_END_OF_STREAM) throw py::stop_iteration();
        at(status);
        PyObject *made = make_item(item);
        if (made == nullptr) throw_set();
        return py::reinterpret_steal<py::object>(made);
    }
    uint8_t read_user_mark() {
        at(vokCanRead(&handle_));
        return vokReadUserMark(&handle_);
    }
    uint8_t read_phrase() {
        uint8_t identifier = 0;
        at(vokReadPhraseMark(&handle_, &identifier));
        return identifier;
    }
    bool read_flag() {
        uint32_t value = 0;
        at(vokReadFlag(&handle_, &value));
        return value != 0;
    }
    uint32_t read_unsigned() {
        uint32_t value = 0;
        at(vokReadUnsigned(&handle_, &value));
        return value;
    }
    int32_t read_signed() {
        int32_t value = 0;
        at(vokReadSigned(&handle_, &value));
        return value;
    }
    py::bytes read_string() {
        uint32_t length = 0;
        at(vokGetStringSize(&handle_, &length));
        if (vokxKindClass(vokPeek(&handle_)) == VOKX_CLASS_SAFE) at(VOK_UNEXPECTED);
        std::string buffer(length + 1, '\0');
        at(vokReadString(&handle_, buffer.data()));
        buffer.resize(length);
        return py::bytes(buffer);
    }
    py::object read_utf8() {
        if (vokxKindClass(vokPeek(&handle_)) != VOKX_CLASS_UTF8) at(VOK_WRONG_TYPE);
        const py::bytes raw = read_string();
        PyObject *text = PyUnicode_DecodeUTF8(PyBytes_AS_STRING(raw.ptr()),
                                              PyBytes_GET_SIZE(raw.ptr()), "surrogateescape");
        if (text == nullptr) throw_set();
        return py::reinterpret_steal<py::object>(text);
    }
    py::object skip_phrase() { return kind_object(vokSkipPhrase(&handle_)); }

  private:
    void at(uint16_t status) { check(status, handle_.position); }

    py::bytes data_; // the block, held while the handle points into it
    vokStream handle_{};
    uint8_t type_ = 0;
    uint32_t version_ = 0;
    py::object version_status_;
};

} // namespace

void bind_items(py::module_ &module) {
    py::class_<Writer>(module, "Writer",
                       "Builds one stream of the given type (0-255) and version (32-bit); "
                       "see the package's documentation.")
        .def(py::init<py::handle, py::handle>(), py::arg("stream_type"), py::arg("version"))
        .def("user_mark", &Writer::user_mark, py::arg("mark"))
        .def("phrase", &Writer::phrase, py::arg("identifier"))
        .def("flag", &Writer::flag, py::arg("value"))
        .def("unsigned", &Writer::unsigned_, py::arg("value"))
        .def("signed", &Writer::signed_, py::arg("value"))
        .def("string", &Writer::string, py::arg("data"))
        .def("utf8", &Writer::utf8, py::arg("text"))
        .def("safe", &Writer::safe, py::arg("text"))
        .def("item", &Writer::item, py::arg("encoded"))
        .def("finish", &Writer::finish)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Writer &self, py::args) { self.release(); });

    py::class_<Reader>(module, "Reader",
                       "Reads one block of the given stream type and version; see the "
                       "package's documentation.")
        .def(py::init<py::handle, py::handle, py::handle, bool>(), py::arg("data"),
             py::arg("stream_type") = py::none(), py::arg("version") = py::none(), py::kw_only(),
             py::arg("allow_trailing") = false)
        .def_property_readonly("version_status", &Reader::version_status)
        .def_property_readonly("position", &Reader::position)
        .def("reset", &Reader::reset)
        .def("peek", &Reader::peek)
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &Reader::next)
        .def("read_user_mark", &Reader::read_user_mark)
        .def("read_phrase", &Reader::read_phrase)
        .def("read_flag", &Reader::read_flag)
        .def("read_unsigned", &Reader::read_unsigned)
        .def("read_signed", &Reader::read_signed)
        .def("read_string", &Reader::read_string)
        .def("read_utf8", &Reader::read_utf8)
        .def("skip_phrase", &Reader::skip_phrase);
}

} // namespace vokpy
