#include "WinHttpTrust.h"

#include <winhttp.h>

#include <vector>

HCERTSTORE WinHttpTrust::readAuthority(const std::string& pem) {
    static const std::string begin = "-----BEGIN CERTIFICATE-----";
    static const std::string end = "-----END CERTIFICATE-----";
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (store == nullptr) {
        return nullptr;
    }
    int added = 0;
    for (std::size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at + 1)) {
        const std::size_t stop = pem.find(end, at);
        if (stop == std::string::npos) {
            break;
        }
        const std::string block = pem.substr(at, stop + end.size() - at);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr)) {
            continue;
        }
        std::vector<BYTE> der(size);
        if (CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                 der.data(), &size, nullptr, nullptr) &&
            CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                             nullptr)) {
            ++added;
        }
    }
    if (added == 0) {
        CertCloseStore(store, 0);
        return nullptr;
    }
    return store;
}

// Whether the server's certificate holds for host: through a root the system trusts, or
// through one of the given authority's certificates as its root. WinHTTP was told to let an
// unknown root through, so this is where such a chain is judged; the rest of the TLS checks
// (names, dates, signatures) are the system's own, asked of the chain.
bool WinHttpTrust::trusted(PCCERT_CONTEXT server, HCERTSTORE authority, const std::wstring& host, std::string& why) {
    HCERTSTORE search = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    if (search == nullptr) {
        why = "TLS: no certificate store";
        return false;
    }
    CertAddStoreToCollection(search, authority, 0, 0);
    if (server->hCertStore != nullptr) {
        CertAddStoreToCollection(search, server->hCertStore, 0, 0);
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, server, nullptr, search, &para, 0, nullptr, &chain)) {
        CertCloseStore(search, 0);
        why = "TLS: the certificate's chain cannot be built";
        return false;
    }
    std::wstring serverName = host;
    const auto policyError = [&](DWORD checks) {
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = checks;
        ssl.pwszServerName = serverName.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status{};
        status.cbSize = sizeof status;
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) {
            return static_cast<DWORD>(CERT_E_CHAINING);
        }
        return status.dwError;
    };
    // The chain's own verdict first: Wine's policy check lets a chain cut short (no issuer
    // found) pass, where Windows refuses it.
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    DWORD error = static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    if (trust == CERT_TRUST_NO_ERROR) {
        error = policyError(0);
    } else if (trust == CERT_TRUST_IS_UNTRUSTED_ROOT && chain->cChain > 0 && chain->rgpChain[0]->cElement > 0) {
        const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
        PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
        PCCERT_CONTEXT known = CertFindCertificateInStore(authority, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                          root, nullptr);
        if (known != nullptr) {
            CertFreeCertificateContext(known);
            error = policyError(SECURITY_FLAG_IGNORE_UNKNOWN_CA);
        }
    } else if ((trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) == 0) {
        // Something else is wrong with it (dates, signatures, usage): the policy names it.
        error = policyError(0);
        if (error == 0) {
            error = static_cast<DWORD>(CERT_E_CHAINING);
        }
    }
    CertFreeCertificateChain(chain);
    CertCloseStore(search, 0);
    if (error == 0) {
        return true;
    }
    switch (static_cast<HRESULT>(error)) {
    case CERT_E_UNTRUSTEDROOT: why = "TLS refused: the certificate is not from a trusted authority"; break;
    case CERT_E_CN_NO_MATCH: why = "TLS refused: the certificate is for another name"; break;
    case CERT_E_EXPIRED: why = "TLS refused: the certificate has expired"; break;
    default: why = "TLS refused: the certificate does not hold (" + std::to_string(error) + ")"; break;
    }
    return false;
}
