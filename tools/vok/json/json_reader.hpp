// Pack's reader of the JSON lines that `vok dump --json` writes.
#pragma once

#include <memory>

#include "line_parser.hpp"

namespace vok::tool {

// One entry a line, so that `vok dump --json X | vok pack --json` gives X
// back byte for byte.
std::unique_ptr<LineParser> make_json_reader();

} // namespace vok::tool
