#include "JsonFile.h"

#include "FileReader.h"

#include <cmath>

namespace {

void lineAndColumn(const std::string& text, std::size_t byte, std::size_t& line, std::size_t& column) {
    line = 1;
    column = 1;
    // nlohmann reports the position just past the offending character.
    std::size_t end = byte > 0 ? std::min(byte - 1, text.size()) : 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
}

// nlohmann's message starts with its own tag and position; keep only the explanation.
std::string parseDetail(const std::string& what) {
    std::size_t at = what.find(": ");
    std::string detail = at == std::string::npos ? what : what.substr(at + 2);
    if (detail.rfind("syntax error while parsing ", 0) == 0) {
        detail = detail.substr(27);
    }
    return detail;
}

}  // namespace

bool JsonFile::parseObject(std::string_view text, JsonValue& document, std::string& fault) {
    document = JsonValue::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        fault = "not a JSON document";
        return false;
    }
    if (!document.is_object()) {
        fault = "not a JSON object";
        return false;
    }
    return true;
}

long long JsonFile::wholeNumber(const JsonValue& value, long long highest) {
    const double number = value.is_number() ? value.get<double>() : -1.0;
    if (!(number >= 0.0 && number <= double(highest)) || number != std::floor(number)) {
        return -1;
    }
    return static_cast<long long>(number);
}

JsonValue JsonFile::parse(const std::string& path) { return parseText(FileReader::readOrThrow(path), path); }

JsonValue JsonFile::parseText(const std::string& text, const std::string& path) {
    try {
        return JsonValue::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        std::size_t line = 0, column = 0;
        lineAndColumn(text, error.byte, line, column);
        throw std::runtime_error(path + ": line " + std::to_string(line) + ", column " +
                                 std::to_string(column) + ": " + parseDetail(error.what()));
    } catch (const nlohmann::json::out_of_range& error) {
        // A number too large for a double ("1e999") is not a parse error to nlohmann and
        // carries no position; its first appearance in the text is where it is.
        std::string detail = error.what();
        const std::size_t tagEnd = detail.find("] ");
        if (!detail.empty() && detail[0] == '[' && tagEnd != std::string::npos) {
            detail.erase(0, tagEnd + 2);
        }
        const std::size_t open = detail.find('\'');
        const std::size_t close = detail.rfind('\'');
        std::size_t byte = 0;
        if (open != std::string::npos && close > open) {
            const std::size_t at = text.find(detail.substr(open + 1, close - open - 1));
            byte = at == std::string::npos ? 0 : at + 1;
        }
        std::size_t line = 0, column = 0;
        lineAndColumn(text, byte, line, column);
        throw std::runtime_error(path + ": line " + std::to_string(line) + ", column " +
                                 std::to_string(column) + ": " + detail);
    }
}

const JsonValue& JsonFile::member(const JsonValue& object, const char* key, const char* owner) {
    auto found = object.find(key);
    if (found == object.end()) {
        throw std::runtime_error(owner != nullptr ? std::string("\"") + owner + "\" has no \"" + key + "\""
                                                  : std::string("missing \"") + key + "\"");
    }
    return *found;
}

const JsonValue& JsonFile::numberMember(const JsonValue& element, const char* key) {
    if (!element.is_object()) {
        throw std::runtime_error(std::string("expected an object with \"") + key + "\"");
    }
    const JsonValue& found = member(element, key);
    if (!found.is_number()) {
        throw std::runtime_error(std::string("\"") + key + "\" is not a number");
    }
    return found;
}

float JsonFile::number(const JsonValue& element, const char* key) {
    float value = numberMember(element, key).get<float>();
    if (!std::isfinite(value)) {
        throw std::runtime_error(std::string("\"") + key + "\" is out of range");
    }
    return value;
}
