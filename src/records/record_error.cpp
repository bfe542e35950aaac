#include "record_error.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace vok::records {

void print_cut(char *out, unsigned size, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(out, size, format, arguments);
    va_end(arguments);
}

uint16_t fail(vokxRecordError *error, uint16_t status, uint32_t offset, const char *path,
              const char *message, ...) {
    if (error == nullptr) return status;
    error->status = status;
    error->offset = offset;
    print_cut(error->path, sizeof error->path, "%s", path);
    va_list arguments;
    va_start(arguments, message);
    std::vsnprintf(error->message, sizeof error->message, message, arguments);
    va_end(arguments);
    return status;
}

void field_path(char *out, unsigned out_size, const vokxSchema &schema, int32_t group,
                uint32_t occurrence, int32_t field) {
    const Level level = level_of(schema, group);
    const char *name = field >= 0 ? level.fields[field].name : "";
    if (group < 0) {
        print_cut(out, out_size, "%s", name);
        return;
    }
    print_cut(out, out_size, "%s[%u]%s%s", schema.groups[group].name, occurrence,
              field >= 0 ? "." : "", name);
}

} // namespace vok::records
