#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

// The words of WinHTTP and ours, both ways: UTF-8 into the wide strings it takes, a failed
// call's code into the few words of a line on standard error, an answer's header into text.
class WinHttpText {
public:
    static std::wstring wide(const std::string& text);
    // Why a WinHTTP call failed, in the words of a line on standard error.
    static std::string describeError(DWORD code);
    // A header of an answer as plain text (headers are ASCII; anything else reads as '?');
    // empty when there is none.
    static std::string header(HINTERNET request, DWORD which);
};
