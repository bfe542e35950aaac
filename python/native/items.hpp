// Writing and reading a block item by item: vok32.Writer and vok32.Reader.
#pragma once

#include "shared.hpp"

namespace vokpy {

void bind_items(py::module_ &module);

} // namespace vokpy
