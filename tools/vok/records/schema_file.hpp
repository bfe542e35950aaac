// The records part: everything that takes a schema — schema files read
// through vok32x, records written as JSON by dump --schema, JSON records
// packed by pack --schema, and the compatibility of two schemas.  It uses
// json, stream and io; generated code lives in codegen instead.
//
// A schema file (JSON; docs/schema.md) read by vok32x's one reader of
// schema files, in its words.
#pragma once

#include <string>

#include "vok32x.h"

namespace vok::tool {

class SchemaFile {
  public:
    SchemaFile() = default;
    SchemaFile(const SchemaFile &) = delete;
    SchemaFile &operator=(const SchemaFile &) = delete;
    ~SchemaFile();

    // Reads and checks the file; false with error "PATH: where: what".
    bool load(const std::string &path, std::string &error);
    // The same for a file's text; name stands for the file in messages.
    bool parse(const std::string &text, const std::string &name, std::string &error);

    // Valid once load or parse has succeeded.
    const vokxSchema &schema() const noexcept { return *vokxSchemaOf(document_); }

  private:
    vokxSchemaDocument *document_ = nullptr;
};

} // namespace vok::tool
