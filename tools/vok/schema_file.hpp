// A schema file (JSON; docs/schema.md) read into the records engine's
// tables.  The file's shape -- its keys, their JSON types, the kinds' names
// -- is checked here; ranges, uniqueness and names are the engine's
// (vokxSchemaCheck), reported in the same words.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "vok32x.h"

namespace vok::tool {

class SchemaFile {
  public:
    SchemaFile() = default;
    SchemaFile(const SchemaFile &) = delete;
    SchemaFile &operator=(const SchemaFile &) = delete;

    // Reads and checks the file; false with error "PATH: where: what".
    bool load(const std::string &path, std::string &error);
    // The same for a file's text; name stands for the file in messages.
    bool parse(const std::string &text, const std::string &name, std::string &error);

    const vokxSchema &schema() const noexcept { return schema_; }

  private:
    std::deque<std::string> names_; // the tables point into these
    std::vector<vokxFieldSpec> fields_;
    std::deque<std::vector<vokxFieldSpec>> group_fields_;
    std::vector<vokxGroupSpec> groups_;
    vokxSchema schema_{};
};

} // namespace vok::tool
