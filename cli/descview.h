// Readable and JSON views of a description, for `morvexcli show`.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

struct FileDesc;

namespace morvex {

// The description as JSON, with the records' own field names: every FileDesc field but the
// list pointers, then `columns`, `primaryKey` {name, columns: codes}, `indexes` [{name,
// columns}] and `templates` [paths].
nlohmann::json descriptionToJson(const FileDesc& desc);

// The description as a readable text: its properties, then one line per column.
std::string descriptionToTable(const FileDesc& desc);

// Serialises JSON for output; bytes that are not UTF-8 are replaced, never fatal.
std::string dumpJson(const nlohmann::json& j);

}  // namespace morvex
