// What every part of the extension shares: the package's Python objects
// (its exception classes, Status, Item, the kinds) handed over once by
// vok32._implementation, owned references, and the raising of the package's
// errors.  Functions called straight from Python (the fast paths) return
// nullptr with the error set; those bound through pybind11 throw
// pybind11::error_already_set.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "vok32x.h"

namespace vokpy {

namespace py = pybind11;

// An owned reference; empty means "failed, the error is set".
class Ref {
  public:
    Ref() = default;
    explicit Ref(PyObject *owned) : object_(owned) {}
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    Ref(Ref &&other) noexcept : object_(other.release()) {}
    Ref &operator=(Ref &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Ref() { Py_XDECREF(object_); }
    static Ref borrowed(PyObject *object) {
        Py_XINCREF(object);
        return Ref(object);
    }
    PyObject *get() const { return object_; }
    PyObject *release() {
        PyObject *object = object_;
        object_ = nullptr;
        return object;
    }
    void reset(PyObject *owned = nullptr) {
        Py_XDECREF(object_);
        object_ = owned;
    }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    PyObject *object_ = nullptr;
};

struct Shared {
    PyObject *vok_error = nullptr;     // vok32.VokError
    PyObject *out_of_range = nullptr;  // its subclass for values refused before the call
    PyObject *record_error = nullptr;  // vok32.RecordError
    PyObject *status = nullptr;        // vok32.Status
    PyObject *item = nullptr;          // vok32.Item, a named tuple
    PyObject *kinds = nullptr;         // list of 256: Kind members where named, else ints
    PyObject *block_info = nullptr;    // vok32.BlockInfo
    PyObject *checked_int = nullptr;   // the package's range check, for its words
    PyObject *schema_module = nullptr; // the shared record rules (vok32._schema)
};
extern Shared shared;

// VokError(status, offset, needed), and the same set as the error; the
// latter returns nullptr.
Ref new_vok_error(uint16_t status, std::optional<uint32_t> offset = std::nullopt,
                  std::optional<uint32_t> needed = std::nullopt);
PyObject *set_vok_error(uint16_t status, std::optional<uint32_t> offset = std::nullopt,
                        std::optional<uint32_t> needed = std::nullopt);
// Sets OutOfRange(status); returns nullptr.
PyObject *set_out_of_range(uint16_t status);
// Sets RecordError(status, path, message, offset); returns nullptr.
PyObject *set_record_error(uint16_t status, std::string_view path, std::string_view message,
                           std::optional<uint32_t> offset = std::nullopt);
PyObject *set_record_error(const vokxRecordError &error);

// The pybind11 side: raise what the setters above set.
[[noreturn]] void throw_set();
inline void check(uint16_t status, std::optional<uint32_t> offset = std::nullopt) {
    if (status != VOK_OK) {
        set_vok_error(status, offset);
        throw_set();
    }
}

// Bytes of a bytes-like argument, held for as long as this lives.  Other
// types set TypeError with the package's words.
class Bytes {
  public:
    explicit Bytes(PyObject *object);
    Bytes(const Bytes &) = delete;
    Bytes &operator=(const Bytes &) = delete;
    ~Bytes();
    bool ok() const { return ok_; }
    const uint8_t *data() const { return static_cast<const uint8_t *>(view_.buf); }
    size_t size() const { return static_cast<size_t>(view_.len); }

  private:
    Py_buffer view_{};
    bool ok_ = false;
};

// The content of a text argument: a str as UTF-8 (surrogateescape, so that
// text read back gives its bytes again), or bytes-like as given.  Sets
// TypeError otherwise, in the words `what` chooses.
class Text {
  public:
    explicit Text(PyObject *object);
    bool ok() const { return ok_; }
    const uint8_t *data() const { return data_; }
    size_t size() const { return size_; }

  private:
    Ref owner_;
    Py_buffer view_{};
    bool has_view_ = false;
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    bool ok_ = false;

  public:
    ~Text() {
        if (has_view_) PyBuffer_Release(&view_);
    }
    Text(const Text &) = delete;
    Text &operator=(const Text &) = delete;
};

// An item's value as Reader iteration gives it, and the Item itself.
PyObject *item_value(const vokxItem &item);
PyObject *make_item(const vokxItem &item);

} // namespace vokpy
