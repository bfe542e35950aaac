#include "blocks.hpp"

#include <algorithm>
#include <vector>

#include "vok32_items.h"

namespace vokpy {
namespace {

constexpr uint32_t kSmallestBlock = 9; // header with a one-byte version, and the end marker
// Files are read in pieces of at most this size, so that a corrupted length
// field costs no more memory than the file really holds.
constexpr size_t kChunk = size_t{1} << 20;

// Bytes waiting to be cut into blocks, consumed from the front.  The taken
// front is dropped once it outweighs what is left, so that cutting n
// blocks costs O(total bytes), not O(n * buffered).
class Pending {
  public:
    const uint8_t *data() const { return bytes_.data() + start_; }
    size_t size() const { return bytes_.size() - start_; }
    void append(const uint8_t *bytes, size_t size) {
        if (start_ > 0 && start_ >= this->size()) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(start_));
            start_ = 0;
        }
        bytes_.insert(bytes_.end(), bytes, bytes + size);
    }
    void take(size_t size) { start_ += size; }

  private:
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
};

py::object block_info(const vokxBlockInfo &info) {
    return py::reinterpret_borrow<py::object>(shared.block_info)(info.length, info.type,
                                                                 info.version, info.body);
}

py::object inspect(py::handle data) {
    const py::bytes raw = block_bytes(data);
    return block_info(
        inspect_or_raise(reinterpret_cast<const uint8_t *>(PyBytes_AS_STRING(raw.ptr())),
                         static_cast<size_t>(PyBytes_GET_SIZE(raw.ptr()))));
}

// blocks(): a raw iterator type, so that taking a block costs no more than
// a C call (pybind11's dispatch would cost more than the cut itself).
struct BlockIterator {
    PyObject_HEAD PyObject *source; // bytes, or the file
    PyObject *read; // the file's read1 (reads what is there) or read; null for bytes
    bool read_is_read1;
    Pending *pending; // what was read from the file and not yet yielded
    size_t offset;    // of the next block in the source
    bool ended;       // the file gave no more
};

void iterator_free(PyObject *self) {
    auto *it = reinterpret_cast<BlockIterator *>(self);
    Py_XDECREF(it->source);
    Py_XDECREF(it->read);
    delete it->pending;
    PyTypeObject *type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type); // instances of a heap type hold a reference to it
}

// Reads more of the file into pending: with read1, what is there (up to a
// chunk); with read, no more than the block in hand still needs, so that a
// pipe is never waited on for bytes past it.  False with the error set for
// a read that fails or gives what is not bytes.
bool read_more(BlockIterator *it, size_t wanted) {
    const size_t asked = it->read_is_read1 ? kChunk : std::min(wanted, kChunk);
    Ref piece(PyObject_CallFunction(it->read, "n", static_cast<Py_ssize_t>(asked)));
    if (!piece) return false;
    if (piece.get() == Py_None) { // a non-blocking file with nothing there yet
        it->ended = true;
        return true;
    }
    if (!PyBytes_Check(piece.get()) && !PyByteArray_Check(piece.get())) {
        PyErr_SetString(PyExc_TypeError, "blocks() needs bytes or a file opened in binary mode");
        return false;
    }
    Bytes bytes(piece.get());
    if (!bytes.ok()) return false;
    if (bytes.size() == 0) it->ended = true;
    it->pending->append(bytes.data(), bytes.size());
    return true;
}

PyObject *next_of_bytes(BlockIterator *it) {
    const auto *all = reinterpret_cast<const uint8_t *>(PyBytes_AS_STRING(it->source));
    const auto size = static_cast<size_t>(PyBytes_GET_SIZE(it->source));
    if (it->offset >= size) return nullptr;
    vokxBlockInfo info;
    const uint16_t status = vokxInspect(all + it->offset, size - it->offset, &info);
    if (status != VOK_OK) return set_vok_error(status, static_cast<uint32_t>(it->offset));
    PyObject *block =
        PyBytes_FromStringAndSize(reinterpret_cast<const char *>(all + it->offset), info.length);
    it->offset += info.length;
    return block;
}

PyObject *next_of_file(BlockIterator *it) {
    Pending &pending = *it->pending;
    while (pending.size() < 4 && !it->ended)
        if (!read_more(it, 4 - pending.size())) return nullptr;
    if (pending.size() == 0) return nullptr;
    vokxBlockInfo info;
    uint16_t status;
    while ((status = vokxInspect(pending.data(), pending.size(), &info)) == VOKX_NEED_MORE &&
           !it->ended) {
        const size_t wanted = std::max<size_t>(info.length, 4) - pending.size();
        if (!read_more(it, wanted)) return nullptr;
    }
    if (status != VOK_OK) return set_vok_error(status, static_cast<uint32_t>(it->offset));
    PyObject *block =
        PyBytes_FromStringAndSize(reinterpret_cast<const char *>(pending.data()), info.length);
    pending.take(info.length);
    it->offset += info.length;
    return block;
}

PyObject *iterator_next(PyObject *self) {
    auto *it = reinterpret_cast<BlockIterator *>(self);
    return it->read == nullptr ? next_of_bytes(it) : next_of_file(it);
}

PyType_Slot iterator_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void *>(iterator_free)},
    {Py_tp_iter, reinterpret_cast<void *>(PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void *>(iterator_next)},
    {0, nullptr},
};
PyType_Spec iterator_spec = {"vok32._native.BlockIterator", sizeof(BlockIterator), 0,
                             Py_TPFLAGS_DEFAULT, iterator_slots};

PyObject *iterator_type = nullptr;

py::object blocks(py::handle source) {
    const bool is_file = py::hasattr(source, "read");
    const bool has_read1 = is_file && py::hasattr(source, "read1");
    py::object held = is_file ? py::reinterpret_borrow<py::object>(source) : block_bytes(source);
    py::object read;
    if (is_file) read = py::getattr(source, has_read1 ? "read1" : "read");
    auto *it = PyObject_New(BlockIterator, reinterpret_cast<PyTypeObject *>(iterator_type));
    if (it == nullptr) throw_set();
    it->source = held.release().ptr();
    it->read = is_file ? read.release().ptr() : nullptr;
    it->read_is_read1 = has_read1;
    it->pending = is_file ? new Pending() : nullptr;
    it->offset = 0;
    it->ended = false;
    return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject *>(it));
}

class Feeder {
  public:
    explicit Feeder(uint64_t max_block) : max_block_(max_block) {}

    void feed(py::handle data) {
        raise_stored();
        Bytes bytes(data.ptr());
        if (!bytes.ok()) throw_set();
        pending_.append(bytes.data(), bytes.size());
        check_length();
    }
    py::bytes next() {
        raise_stored();
        check_length();
        vokxBlockInfo info;
        const uint16_t status = vokxInspect(pending_.data(), pending_.size(), &info);
        if (status == VOKX_NEED_MORE) throw py::stop_iteration();
        if (status != VOK_OK) fail(status);
        py::bytes block(reinterpret_cast<const char *>(pending_.data()), info.length);
        pending_.take(info.length);
        offset_ += info.length;
        return block; // a bad length after it is refused on the next step
    }

  private:
    void raise_stored() {
        if (!error_) return;
        PyErr_SetObject(shared.vok_error, error_.ptr());
        throw_set();
    }
    [[noreturn]] void fail(uint16_t status) {
        Ref error = new_vok_error(status, static_cast<uint32_t>(offset_));
        if (!error) throw_set();
        error_ = py::reinterpret_steal<py::object>(error.release());
        raise_stored();
        throw_set(); // not reached
    }
    void check_length() {
        if (pending_.size() < 4) return;
        const uint32_t length = vok_load_be32(pending_.data());
        if (length < kSmallestBlock || length > max_block_) fail(VOK_INVALID_STREAM);
    }

    uint64_t max_block_;
    Pending pending_;
    uint64_t offset_ = 0; // of the pending bytes' first in everything fed
    py::object error_;    // once failed, raised by every later call
};

} // namespace

py::bytes block_bytes(py::handle data) {
    if (PyBytes_Check(data.ptr())) return py::reinterpret_borrow<py::bytes>(data);
    if (PyByteArray_Check(data.ptr()) || PyMemoryView_Check(data.ptr())) {
        PyObject *copy = PyBytes_FromObject(data.ptr());
        if (copy == nullptr) throw_set();
        return py::reinterpret_steal<py::bytes>(copy);
    }
    PyErr_Format(PyExc_TypeError, "expected bytes, bytearray or memoryview, not %s",
                 Py_TYPE(data.ptr())->tp_name);
    throw_set();
}

vokxBlockInfo inspect_or_raise(const uint8_t *bytes, size_t size) {
    vokxBlockInfo info{};
    const uint16_t status = vokxInspect(bytes, size, &info);
    if (status == VOKX_NEED_MORE && size >= 4) {
        set_vok_error(status, 0, info.length);
        throw_set();
    }
    check(status, 0);
    return info;
}

void bind_blocks(py::module_ &module) {
    iterator_type = PyType_FromSpec(&iterator_spec);
    if (iterator_type == nullptr) throw_set();
    module.add_object("BlockIterator", py::reinterpret_borrow<py::object>(iterator_type));
    module.def("inspect", &inspect, py::arg("data"),
               "The frame of the block at the start of data (a BlockInfo).");
    module.def("blocks", &blocks, py::arg("source"),
               "Each block of a sequence of blocks stored back to back, in bytes or a binary "
               "file, as bytes.");
    py::class_<Feeder>(module, "Feeder", "Gathers blocks that arrive in pieces.")
        .def(py::init<uint64_t>(), py::arg("max_block") = 16 * 1024 * 1024)
        .def("feed", &Feeder::feed, py::arg("data"))
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &Feeder::next);
}

} // namespace vokpy
