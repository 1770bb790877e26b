#include "WinHttpText.h"

#include <algorithm>

std::wstring WinHttpText::wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    }
    return result;
}

std::string WinHttpText::describeError(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_CANNOT_CONNECT: return "cannot connect";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "the connection broke";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "the server's name is not known";
    case ERROR_WINHTTP_INVALID_URL: return "not a URL";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "not an http or https URL";
    case ERROR_WINHTTP_SECURE_FAILURE: return "TLS refused: the certificate is not trusted";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "TLS refused: no secure channel to the server";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "TLS refused: the certificate is for another name";
    case ERROR_WINHTTP_SECURE_INVALID_CA: return "TLS refused: the certificate is not from a trusted authority";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "TLS refused: the certificate has expired";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "the answer is not HTTP";
    case ERROR_WINHTTP_OPERATION_CANCELLED: return "cancelled";
    default: break;
    }
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        GetModuleHandleA("winhttp.dll"), code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "WinHTTP error " + std::to_string(code) : message;
}

std::string WinHttpText::header(HINTERNET request, DWORD which) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(size / sizeof(wchar_t));
    std::string text;
    for (wchar_t c : value) {
        text += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
    }
    return text;
}
