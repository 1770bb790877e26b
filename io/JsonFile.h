#pragma once

#include "JsonValue.h"

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

// Reads the hand-edited JSON content files and turns every fault into one readable
// line that names the file and, for malformed text, the line and column.
class JsonFile {
public:
    // Parses the whole file. Throws std::runtime_error carrying "path: what" when the
    // file cannot be read or does not parse.
    static JsonValue parse(const std::string& path);
    // Parses text already read from path, with the same faults.
    static JsonValue parseText(const std::string& text, const std::string& path);

    // The number of elements of a list: an array, or an object whose member values are
    // taken in order. Anything else is an empty list.
    static std::size_t listSize(const JsonValue& list) {
        return (list.is_array() || list.is_object()) ? list.size() : 0;
    }

    // The elements of a list, in order.
    template <typename Visit>
    static void forEachListElement(const JsonValue& list, Visit visit) {
        if (list.is_array() || list.is_object()) {
            for (const auto& element : list) {
                visit(element);
            }
        }
    }

    // The member object[key], whatever it holds. Throws std::runtime_error when there is
    // none: 'missing "key"', or '"owner" has no "key"' when the owner's name is given.
    static const JsonValue& member(const JsonValue& object, const char* key, const char* owner = nullptr);

    // The member element[key] when it is a number. Throws std::runtime_error naming the key
    // when element is not an object, or the member is missing or not a number.
    static const JsonValue& numberMember(const JsonValue& element, const char* key);

    // For the small files the game writes itself: the text as an object, or false with
    // fault "not a JSON document" or "not a JSON object".
    static bool parseObject(std::string_view text, JsonValue& document, std::string& fault);

    // The value when it is a whole number from 0 to highest, else -1.
    static long long wholeNumber(const JsonValue& value, long long highest);

    // Reads element[key] as a float. Throws std::runtime_error naming the key when it is
    // missing or is not a finite number.
    static float number(const JsonValue& element, const char* key);
};
