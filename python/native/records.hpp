// Records by schema: vok32.Schema's codec, which decodes a block into a dict
// or a dataclass and encodes a mapping or a dataclass, through the engine of
// vok32x.  The rules it follows are those of the ctypes codec, and the same
// tests hold both to them.
#pragma once

#include "shared.hpp"

namespace vokpy {

void bind_records(py::module_ &module);

} // namespace vokpy
