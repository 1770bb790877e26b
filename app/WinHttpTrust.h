#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

// The board's private certificate authority under WinHTTP (--board-ca): its PEM file read
// into a store of its own, and the judging of a server's chain against it. WinHTTP is told
// to let a root it does not know through; a request's chain is judged here before a byte of
// its body goes out.
class WinHttpTrust {
public:
    // The certificates of a PEM file in a store of their own; null when it holds none.
    static HCERTSTORE readAuthority(const std::string& pem);
    // Whether the server's certificate holds for host: through a root the system trusts, or
    // through one of the authority's certificates as its root; why says why not.
    static bool trusted(PCCERT_CONTEXT server, HCERTSTORE authority, const std::wstring& host, std::string& why);
};
