#include "kind_class.hpp"

VOKX_API uint8_t vokxKindClass(uint8_t kind) { return vok::x::kind_class(kind); }
