#include "shared.hpp"

namespace vokpy {

Shared shared;

namespace {

PyObject *optional_number(std::optional<uint32_t> value) {
    if (!value) Py_RETURN_NONE;
    return PyLong_FromUnsignedLong(*value);
}

// Raises an instance of type made from the arguments.
PyObject *set_instance(PyObject *type, Ref arguments) {
    if (!arguments) return nullptr;
    Ref instance(PyObject_Call(type, arguments.get(), nullptr));
    if (instance) PyErr_SetObject(type, instance.get());
    return nullptr;
}

} // namespace

Ref new_vok_error(uint16_t status, std::optional<uint32_t> offset, std::optional<uint32_t> needed) {
    Ref at(optional_number(offset)), need(optional_number(needed));
    if (!at || !need) return Ref();
    return Ref(PyObject_CallFunction(shared.vok_error, "HOO", status, at.get(), need.get()));
}

PyObject *set_vok_error(uint16_t status, std::optional<uint32_t> offset,
                        std::optional<uint32_t> needed) {
    Ref error = new_vok_error(status, offset, needed);
    if (error) PyErr_SetObject(shared.vok_error, error.get());
    return nullptr;
}

PyObject *set_out_of_range(uint16_t status) {
    return set_instance(shared.out_of_range, Ref(Py_BuildValue("(H)", status)));
}

PyObject *set_record_error(uint16_t status, std::string_view path, std::string_view message,
                           std::optional<uint32_t> offset) {
    Ref at(optional_number(offset));
    Ref path_text(
        PyUnicode_DecodeUTF8(path.data(), static_cast<Py_ssize_t>(path.size()), "replace"));
    Ref message_text(
        PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
    if (!path_text || !message_text) return nullptr;
    return set_instance(shared.record_error, Ref(Py_BuildValue("(HOOO)", status, path_text.get(),
                                                               message_text.get(), at.get())));
}

PyObject *set_record_error(const vokxRecordError &error) {
    return set_record_error(error.status, std::string_view(error.path),
                            std::string_view(error.message), error.offset);
}

void throw_set() { throw py::error_already_set(); }

Bytes::Bytes(PyObject *object) {
    if (PyBytes_Check(object) || PyByteArray_Check(object) || PyMemoryView_Check(object)) {
        ok_ = PyObject_GetBuffer(object, &view_, PyBUF_SIMPLE) == 0;
        return;
    }
    PyErr_Format(PyExc_TypeError, "expected bytes, bytearray or memoryview, not %s",
                 Py_TYPE(object)->tp_name);
}

Bytes::~Bytes() {
    if (ok_) PyBuffer_Release(&view_);
}

Text::Text(PyObject *object) {
    if (PyUnicode_Check(object)) {
        // The str's own UTF-8 (cached in it, terminated) where it has one;
        // text with lone surrogates (bytes read back) is encoded anew.
        Py_ssize_t size = 0;
        if (const char *utf8 = PyUnicode_AsUTF8AndSize(object, &size)) {
            owner_ = Ref::borrowed(object);
            data_ = reinterpret_cast<const uint8_t *>(utf8);
            size_ = static_cast<size_t>(size);
            ok_ = true;
            return;
        }
        PyErr_Clear();
        owner_.reset(PyUnicode_AsEncodedString(object, "utf-8", "surrogateescape"));
        if (!owner_) return;
    } else if (PyBytes_Check(object)) {
        owner_ = Ref::borrowed(object);
    } else if (PyByteArray_Check(object) || PyMemoryView_Check(object)) {
        owner_.reset(PyBytes_FromObject(object));
        if (!owner_) return;
    } else {
        PyErr_Format(PyExc_TypeError, "expected str or bytes, not %s", Py_TYPE(object)->tp_name);
        return;
    }
    data_ = reinterpret_cast<const uint8_t *>(PyBytes_AS_STRING(owner_.get()));
    size_ = static_cast<size_t>(PyBytes_GET_SIZE(owner_.get()));
    ok_ = true;
}

PyObject *item_value(const vokxItem &item) {
    switch (vokxKindClass(item.kind)) {
    case VOKX_CLASS_SIGNED:
        return PyLong_FromLong(item.signed_value);
    case VOKX_CLASS_STRING:
        return PyBytes_FromStringAndSize(reinterpret_cast<const char *>(item.text),
                                         static_cast<Py_ssize_t>(item.length));
    case VOKX_CLASS_UTF8:
        return PyUnicode_DecodeUTF8(reinterpret_cast<const char *>(item.text),
                                    static_cast<Py_ssize_t>(item.length), "surrogateescape");
    default: // marks, phrases, flags (the byte), unsigned numbers, a safe string's length
        return PyLong_FromUnsignedLong(item.value);
    }
}

PyObject *make_item(const vokxItem &item) {
    Ref value(item_value(item));
    if (!value) return nullptr;
    PyObject *kind = PyList_GET_ITEM(shared.kinds, item.kind);
    Ref fields(Py_BuildValue("((OOkk))", kind, value.get(), static_cast<unsigned long>(item.offset),
                             static_cast<unsigned long>(item.size)));
    if (!fields) return nullptr;
    // Item is a named tuple; tuple's own constructor skips its Python __new__.
    return PyTuple_Type.tp_new(reinterpret_cast<PyTypeObject *>(shared.item), fields.get(),
                               nullptr);
}

} // namespace vokpy
