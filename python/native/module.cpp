// vok32._native: the compiled implementation of the vok32 package.  It does
// in C++ what the ctypes implementation does call by call from Python —
// blocks, the feeder, reading and writing items, records by schema — over
// the same vok32 and vok32x libraries, loaded by the package before this
// module (the dynamic loader then finds them already in the process, by
// their sonames).  vok32._implementation hands over the package's own
// classes with setup(), so that both implementations raise the same
// exceptions and give the same Item, BlockInfo and Status.
//
// pybind11 binds the classes (owned references, exceptions and argument
// conversion come with it); the calls made once per record or block — a
// codec's encode and decode, the blocks iterator — are plain C API
// functions and a C type instead, because pybind11's dispatch would cost
// more than the work of such a call.
#include "blocks.hpp"
#include "items.hpp"
#include "records.hpp"
#include "shared.hpp"

namespace py = pybind11;

namespace {

void setup(py::object vok_error, py::object out_of_range, py::object record_error,
           py::object status, py::object item, py::list kinds, py::object block_info,
           py::object checked_int, py::object schema_module) {
    if (kinds.size() != 256) throw py::value_error("kinds must list the 256 tags");
    auto keep = [](py::object &object) { return object.release().ptr(); };
    vokpy::shared = {keep(vok_error),  keep(out_of_range), keep(record_error),
                     keep(status),     keep(item),         kinds.release().ptr(),
                     keep(block_info), keep(checked_int),  keep(schema_module)};
}

} // namespace

PYBIND11_MODULE(_native, module) {
    module.doc() = "The compiled implementation of the vok32 package.";
    module.def("setup", &setup);
    vokpy::bind_blocks(module);
    vokpy::bind_items(module);
    vokpy::bind_records(module);
}
