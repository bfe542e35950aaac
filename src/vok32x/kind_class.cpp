#include "kind_class.hpp"
#include "tags.hpp"

VOKX_API uint8_t vokxKindClass(uint8_t kind) { return vok::x::kind_class(kind); }

VOKX_API uint8_t vokxFieldWidth(uint8_t kind) {
    const vok::format::Shape shape = vok::format::kShapes[kind];
    return shape.form == vok::format::Form::mark ? 0 : shape.width;
}
