// The Windows backend of HttpClient: WinHTTP, part of Windows itself, so the game ships no
// extra DLL for its HTTPS. WinHTTP's synchronous calls run on worker threads of our own (a
// few, so that a slow submission does not hold up a board read). A request is cancelled
// by closing its handle: when its time is up (seen by poll) or when the client goes.

#include "HttpClient.h"
#include "RetryAfter.h"

#include "io/FileReader.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// More threads than the board link ever keeps requests in flight (a token, a board read, a
// submission, a record).
constexpr int kMaxWorkers = 4;

std::string late(int timeoutMilliseconds) { return "no answer within " + std::to_string(timeoutMilliseconds) + " ms"; }

std::wstring wide(const std::string& text) {
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

// Why a WinHTTP call failed, in the words of a line on standard error.
std::string describeError(DWORD code) {
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

// Retry-After, read the way every backend reads it; the header is plain ASCII.
int retryAfterSeconds(const std::wstring& value) {
    std::string text;
    for (wchar_t c : value) {
        text += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
    }
    return RetryAfter::seconds(text, static_cast<std::int64_t>(std::time(nullptr)));
}

// The certificates of a PEM file in a store of their own; null when it holds none.
HCERTSTORE readAuthority(const std::string& pem) {
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
bool trusted(PCCERT_CONTEXT server, HCERTSTORE authority, const std::wstring& host, std::string& why) {
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

// Closes a WinHTTP handle at the end of a scope.
struct HandleCloser {
    HINTERNET handle = nullptr;
    ~HandleCloser() {
        if (handle != nullptr) {
            WinHttpCloseHandle(handle);
        }
    }
};

struct Job {
    int id = 0;
    HttpRequest request;
    Clock::time_point deadline;
};

// A request a worker is sending. Its handle is closed by whoever gives it up first: the
// worker when it is done, poll when its time is up, the client when it goes.
struct InFlight {
    int id = 0;
    Clock::time_point deadline;
    int timeoutMilliseconds = 0;
    HINTERNET handle = nullptr;
    // Answered already (timed out), or no one is left to answer.
    bool dropped = false;
};

// Everything the workers share with the client. The workers hold it too, so that a client
// can go without waiting for them: they finish their call and leave.
struct Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> queue;
    std::deque<HttpAnswer> done;
    std::list<InFlight> inFlight;
    bool stopping = false;
    int workers = 0;
    int idleWorkers = 0;
    HINTERNET session = nullptr;
    std::string sessionError;
    HCERTSTORE authority = nullptr;
    // Why the authority asked for cannot be trusted: HTTPS requests fail with it.
    std::string authorityFault;

    ~Shared() {
        if (session != nullptr) {
            WinHttpCloseHandle(session);
        }
        if (authority != nullptr) {
            CertCloseStore(authority, 0);
        }
    }

    // Takes a request's handle to close, with the mutex held; null when it is gone already.
    // Other threads close what they take once the mutex is let go, so that a close, however
    // WinHTTP goes about cancelling, never waits on a worker that waits on the mutex.
    static HINTERNET takeHandle(InFlight& flight) {
        HINTERNET handle = flight.handle;
        flight.handle = nullptr;
        return handle;
    }

    static void closeAll(const std::vector<HINTERNET>& handles) {
        for (HINTERNET handle : handles) {
            if (handle != nullptr) {
                WinHttpCloseHandle(handle);
            }
        }
    }
};

class Exchange {
public:
    Exchange(Shared& shared, std::list<InFlight>::iterator flight, const Job& job, HCERTSTORE authority,
             std::string authorityFault)
        : shared_(shared), flight_(flight), job_(job), authority_(authority), authorityFault_(std::move(authorityFault)) {}

    HttpAnswer run() {
        answer_.id = job_.id;
        if (!perform()) {
            answer_.status = 0;
            answer_.body.clear();
            answer_.retryAfterSeconds = 0;
        }
        return answer_;
    }

private:
    // Says why the call before failed, unless a reason was given already. Called in the
    // return statement, before the closing of a handle can clear the thread's last error.
    bool failed() {
        const DWORD code = GetLastError();
        if (answer_.error.empty()) {
            answer_.error = code == ERROR_WINHTTP_TIMEOUT ? late(job_.request.timeoutMilliseconds) : describeError(code);
        }
        return false;
    }

    bool perform() {
        const std::wstring url = wide(job_.request.url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = static_cast<DWORD>(-1);
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        const bool cracked = !url.empty() && WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts);
        if (!cracked && job_.request.url.find("://") == std::string::npos) {
            answer_.error = "not a URL: " + job_.request.url;
            return failed();
        }
        if (!cracked || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
            answer_.error = "not an http or https URL: " + job_.request.url;
            return failed();
        }
        const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        if (secure && !authorityFault_.empty()) {
            answer_.error = authorityFault_;
            return failed();
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
        target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (target.empty()) {
            target = L"/";
        }

        HandleCloser connection{WinHttpConnect(shared_.session, host.c_str(), parts.nPort, 0)};
        if (connection.handle == nullptr) {
            return failed();
        }
        HINTERNET request = WinHttpOpenRequest(connection.handle, wide(job_.request.method).c_str(), target.c_str(),
                                               nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               secure ? WINHTTP_FLAG_SECURE : 0);
        if (request == nullptr) {
            return failed();
        }
        {
            std::lock_guard<std::mutex> lock(shared_.mutex);
            if (flight_->dropped) {
                WinHttpCloseHandle(request);
                answer_.error = "cancelled";
                return failed();
            }
            flight_->handle = request;
        }
        // From here on the handle may be closed under us by a cancellation: the calls then
        // fail, and their answer is thrown away.
        // A connection of its own for each request: Wine keeps kept-alive connections for the
        // whole process and hands them on without checking their certificate again, which
        // would carry one client's trust over to another. A few requests a minute can pay
        // for their handshakes.
        DWORD keepAliveOff = WINHTTP_DISABLE_KEEP_ALIVE;
        WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &keepAliveOff, sizeof keepAliveOff);
        const int timeout = std::max(job_.request.timeoutMilliseconds, 1);
        WinHttpSetTimeouts(request, timeout, timeout, timeout, timeout);
        // A private authority's root is unknown to the system: WinHTTP lets it through
        // and the chain is judged here, before a byte of the body goes out.
        const bool judgeChain = secure && authority_ != nullptr;
        if (judgeChain) {
            DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
            WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
        }
        const std::string& body = job_.request.body;
        const bool post = job_.request.method == "POST";
        const wchar_t* headers = post ? L"Content-Type: application/json\r\n" : WINHTTP_NO_ADDITIONAL_HEADERS;
        if (!WinHttpSendRequest(request, headers, post ? static_cast<DWORD>(-1) : 0, WINHTTP_NO_REQUEST_DATA, 0,
                                static_cast<DWORD>(body.size()), 0)) {
            return failed();
        }
        if (judgeChain && !judgeServer(request, host)) {
            return failed();
        }
        for (std::size_t sent = 0; sent < body.size();) {
            DWORD wrote = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(body.size() - sent, 1u << 20));
            if (!WinHttpWriteData(request, body.data() + sent, chunk, &wrote) || wrote == 0) {
                return failed();
            }
            sent += wrote;
        }
        if (!WinHttpReceiveResponse(request, nullptr)) {
            return failed();
        }
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return failed();
        }
        answer_.retryAfterSeconds = retryAfterSeconds(header(request, WINHTTP_QUERY_RETRY_AFTER));
        if (!readBody(request)) {
            return failed();
        }
        answer_.status = static_cast<int>(status);
        return true;
    }

    bool judgeServer(HINTERNET request, const std::wstring& host) {
        PCCERT_CONTEXT server = nullptr;
        DWORD size = sizeof server;
        if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) || server == nullptr) {
            answer_.error = "TLS: the server showed no certificate";
            return failed();
        }
        const bool good = trusted(server, authority_, host, answer_.error);
        CertFreeCertificateContext(server);
        return good;
    }

    static std::wstring header(HINTERNET request, DWORD which) {
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
        return value;
    }

    bool readBody(HINTERNET request) {
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request, &available)) {
                return failed();
            }
            if (available == 0) {
                return true;
            }
            if (answer_.body.size() + available > kMaxHttpAnswerBytes) {
                answer_.error = "the answer is larger than " + std::to_string(kMaxHttpAnswerBytes) + " bytes";
                return failed();
            }
            const std::size_t at = answer_.body.size();
            answer_.body.resize(at + available);
            DWORD read = 0;
            if (!WinHttpReadData(request, answer_.body.data() + at, available, &read)) {
                return failed();
            }
            answer_.body.resize(at + read);
            if (read == 0) {
                return true;
            }
        }
    }

    Shared& shared_;
    std::list<InFlight>::iterator flight_;
    const Job& job_;
    HCERTSTORE authority_;
    std::string authorityFault_;
    HttpAnswer answer_;
};

void work(std::shared_ptr<Shared> shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        ++shared->idleWorkers;
        shared->wake.wait(lock, [&] { return shared->stopping || !shared->queue.empty(); });
        --shared->idleWorkers;
        if (shared->stopping) {
            break;
        }
        const Job job = std::move(shared->queue.front());
        shared->queue.pop_front();
        auto flight = shared->inFlight.insert(shared->inFlight.end(),
                                              InFlight{job.id, job.deadline, job.request.timeoutMilliseconds});
        HCERTSTORE authority = shared->authority != nullptr ? CertDuplicateStore(shared->authority) : nullptr;
        std::string authorityFault = shared->authorityFault;
        HttpAnswer answer;
        if (shared->session == nullptr) {
            answer.id = job.id;
            answer.error = shared->sessionError;
        } else {
            lock.unlock();
            answer = Exchange(*shared, flight, job, authority, std::move(authorityFault)).run();
            lock.lock();
        }
        if (authority != nullptr) {
            CertCloseStore(authority, 0);
        }
        if (!flight->dropped) {
            shared->done.push_back(std::move(answer));
        }
        // Its calls are over: closing cannot wait on anything.
        Shared::closeAll({Shared::takeHandle(*flight)});
        shared->inFlight.erase(flight);
    }
    --shared->workers;
}

} // namespace

struct HttpClient::Backend {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    int lastId = 0;
    int pending = 0;
};

HttpClient::HttpClient() : backend_(std::make_unique<Backend>()) {
    Shared& shared = *backend_->shared;
    shared.session = WinHttpOpen(L"TAMQ 4 Pelrok", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
    if (shared.session == nullptr) {
        shared.sessionError = "WinHTTP cannot start: " + describeError(GetLastError());
    }
}

HttpClient::~HttpClient() {
    Shared& shared = *backend_->shared;
    std::vector<HINTERNET> cancelled;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.stopping = true;
        shared.queue.clear();
        for (InFlight& flight : shared.inFlight) {
            flight.dropped = true;
            cancelled.push_back(Shared::takeHandle(flight));
        }
        // The workers are never joined: each leaves once its call returns, and the last one
        // out releases the session.
        shared.wake.notify_all();
    }
    Shared::closeAll(cancelled);
}

void HttpClient::setCertificateAuthority(const std::string& pemFile) {
    HCERTSTORE store = nullptr;
    std::string fault;
    if (!pemFile.empty()) {
        std::string pem;
        if (!FileReader::read(pemFile, pem, fault)) {
            fault = pemFile + ": " + fault;
        } else if ((store = readAuthority(pem)) == nullptr) {
            fault = pemFile + ": no PEM certificate in it";
        }
    }
    Shared& shared = *backend_->shared;
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.authority != nullptr) {
        CertCloseStore(shared.authority, 0);
    }
    shared.authority = store;
    shared.authorityFault = fault;
}

int HttpClient::send(const HttpRequest& request) {
    Backend& backend = *backend_;
    backend.lastId = backend.lastId == 0x7fffffff ? 1 : backend.lastId + 1;
    ++backend.pending;
    Shared& shared = *backend.shared;
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.queue.push_back(
        Job{backend.lastId, request, Clock::now() + std::chrono::milliseconds(request.timeoutMilliseconds)});
    if (shared.idleWorkers < static_cast<int>(shared.queue.size()) && shared.workers < kMaxWorkers) {
        ++shared.workers;
        std::thread(work, backend.shared).detach();
    }
    shared.wake.notify_one();
    return backend.lastId;
}

bool HttpClient::poll(HttpAnswer& answer) {
    Backend& backend = *backend_;
    Shared& shared = *backend.shared;
    std::vector<HINTERNET> cancelled;
    std::unique_lock<std::mutex> lock(shared.mutex);
    // WinHTTP's timeouts hold for each step of a request; the request's own is for the whole
    // of it, counted from send, queue included.
    const Clock::time_point now = Clock::now();
    for (InFlight& flight : shared.inFlight) {
        if (!flight.dropped && now >= flight.deadline) {
            flight.dropped = true;
            cancelled.push_back(Shared::takeHandle(flight));
            HttpAnswer timedOut;
            timedOut.id = flight.id;
            timedOut.error = late(flight.timeoutMilliseconds);
            shared.done.push_back(timedOut);
        }
    }
    for (auto job = shared.queue.begin(); job != shared.queue.end();) {
        if (now >= job->deadline) {
            HttpAnswer timedOut;
            timedOut.id = job->id;
            timedOut.error = late(job->request.timeoutMilliseconds);
            shared.done.push_back(timedOut);
            job = shared.queue.erase(job);
        } else {
            ++job;
        }
    }
    const bool answered = !shared.done.empty();
    if (answered) {
        answer = std::move(shared.done.front());
        shared.done.pop_front();
        --backend.pending;
    }
    lock.unlock();
    Shared::closeAll(cancelled);
    return answered;
}

int HttpClient::pending() const { return backend_->pending; }
