#include "schema_file.hpp"

#include "input.hpp"

namespace vok::tool {

SchemaFile::~SchemaFile() { vokxSchemaFree(document_); }

bool SchemaFile::parse(const std::string &text, const std::string &name, std::string &error) {
    vokxSchemaFree(document_);
    document_ = nullptr;
    vokxRecordError refused;
    if (vokxSchemaParse(text.data(), text.size(), &document_, &refused) == VOK_OK) return true;
    error = name + ": " + (refused.path[0] != '\0' ? std::string(refused.path) + ": " : "") +
            refused.message;
    return false;
}

bool SchemaFile::load(const std::string &path, std::string &error) {
    Input input;
    std::string text, read_error;
    if (!input.open(path, read_error)) {
        error = path + ": " + read_error;
        return false;
    }
    uint8_t chunk[1 << 16];
    for (long got; (got = input.read(chunk, sizeof chunk, read_error)) != 0;) {
        if (got < 0 || text.size() > (size_t{16} << 20)) {
            error = path + ": " + (got < 0 ? read_error : "larger than 16 MiB: not a schema file");
            return false;
        }
        text.append(reinterpret_cast<const char *>(chunk), static_cast<size_t>(got));
    }
    return parse(text, path, error);
}

} // namespace vok::tool
