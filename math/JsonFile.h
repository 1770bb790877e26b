#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>

// Our JSON documents keep their members in file order, as the content files rely on it.
using JsonValue = nlohmann::ordered_json;

// Reads the hand-edited JSON content files and turns every fault into one readable
// line that names the file and, for malformed text, the line and column.
class JsonFile {
public:
    // Parses the whole file. Throws std::runtime_error carrying "path: what" when the
    // file cannot be read or does not parse.
    static JsonValue parse(const std::string& path);

    // The elements of a list: an array, or an object whose member values are taken in order.
    // Anything else is an empty list.
    template <typename Visit>
    static void forEachListElement(const JsonValue& list, Visit visit) {
        if (list.is_array() || list.is_object()) {
            for (const auto& element : list) {
                visit(element);
            }
        }
    }

    // Reads element[key] as a float. Throws std::runtime_error naming the key when it is
    // missing or is not a finite number.
    static float number(const JsonValue& element, const char* key);
};
