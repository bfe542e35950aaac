// Compiled three ways by check.cmake: with every status checked it builds;
// with IGNORE_WRITE or IGNORE_FINISH a status is dropped, which -Werror must
// refuse.
#include "vok32.hpp"

int main() {
    vok::writer w(1, 0);
#ifdef IGNORE_WRITE
    w.write(42u);
#else
    if (w.write(42u) != vok::status::ok) return 1;
#endif
#ifdef IGNORE_FINISH
    w.finish();
    return 0;
#else
    return w.finish().ok() ? 0 : 1;
#endif
}
