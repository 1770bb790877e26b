#pragma once

#include <nlohmann/json_fwd.hpp>

// Our JSON documents keep their members in file order, as the content files rely on it.
// Only the declaration: code that walks a document includes io/JsonFile.h.
using JsonValue = nlohmann::ordered_json;
