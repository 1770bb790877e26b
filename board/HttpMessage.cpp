#include "HttpMessage.h"

#include <strings.h>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// %XX becomes its byte, whatever it is; plusIsSpace for form-style queries.
std::string percentDecoded(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            i += 2;
        } else if (plusIsSpace && text[i] == '+') {
            out.push_back(' ');
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Builds the tree as nlohmann's own reader does, but refuses (and so stops the read at) an
// element past the depth or the count.
class BoundedJson {
public:
    using Json = nlohmann::json;
    explicit BoundedJson(Json& result) : dom_(result, false) {}

    bool null() { return element() && dom_.null(); }
    bool boolean(bool value) { return element() && dom_.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return element() && dom_.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return element() && dom_.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& text) {
        return element() && dom_.number_float(value, text);
    }
    bool string(Json::string_t& value) { return element() && dom_.string(value); }
    bool binary(Json::binary_t& value) { return element() && dom_.binary(value); }
    bool start_object(std::size_t size) { return open() && dom_.start_object(size); }
    bool key(Json::string_t& value) { return element() && dom_.key(value); }
    bool end_object() {
        --depth_;
        return dom_.end_object();
    }
    bool start_array(std::size_t size) { return open() && dom_.start_array(size); }
    bool end_array() {
        --depth_;
        return dom_.end_array();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    bool element() { return ++elements_ <= HttpRequest::kJsonElements; }
    bool open() { return element() && ++depth_ <= HttpRequest::kJsonDepth; }

    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    std::size_t depth_ = 0;
    std::size_t elements_ = 0;
};

}  // namespace

nlohmann::json HttpRequest::jsonBody() const {
    nlohmann::json result;
    BoundedJson reader(result);
    if (!nlohmann::json::sax_parse(body, &reader, nlohmann::json::input_format_t::json, true, false)) {
        return nlohmann::json(nlohmann::json::value_t::discarded);
    }
    return result;
}

std::optional<std::string> HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::string> HttpRequest::param(std::string_view name) const {
    std::string_view rest = query;
    while (!rest.empty()) {
        std::size_t amp = rest.find('&');
        std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        std::size_t equals = pair.find('=');
        if (percentDecoded(pair.substr(0, equals), true) == name) {
            return equals == std::string_view::npos ? std::string() : percentDecoded(pair.substr(equals + 1), true);
        }
    }
    return std::nullopt;
}

void HttpRequest::splitTarget() {
    std::size_t mark = target.find('?');
    path = percentDecoded(std::string_view(target).substr(0, mark), false);
    query = mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

void HttpResponse::set(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
}

bool HttpResponse::has(std::string_view name) const {
    for (const auto& header : headers) {
        if (header.first.size() == name.size() && strncasecmp(header.first.data(), name.data(), name.size()) == 0) {
            return true;
        }
    }
    return false;
}

void HttpResponse::json(int code, const nlohmann::json& value) {
    status = code;
    contentType = "application/json";
    body = jsonText(value);
}

void HttpResponse::refuse(int code, const std::string& error, const std::string& reason) {
    json(code, nlohmann::json{{"error", error}, {"reason", reason}});
}

void HttpResponse::refuseFor(int code, const std::string& error, const std::string& reason, int seconds) {
    refuse(code, error, reason);
    set("Retry-After", std::to_string(seconds));
}

std::string jsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
