// The Windows backend of HttpClient: WinHTTP, part of Windows itself, so the game ships no
// extra DLL for its HTTPS. WinHTTP's synchronous calls run on worker threads of our own (a
// few, so that a slow submission does not hold up a board read). A request's handle is its
// worker's alone from its opening to its closing: a handle closed by another thread could
// be handed by Windows to another request while the worker still calls with it. A request
// whose time is up (seen by poll) or whose client went is dropped by a flag: its answer is
// given (or thrown away) at once, and its worker stops at its next step, each step bounded
// by the request's timeout.

#include "PlatformHttpClient.h"
#include "link/RetryAfter.h"
#include "TransportMessages.h"
#include "WinHttpText.h"
#include "WinHttpTrust.h"

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

// A request a worker is sending, as the client sees it.
struct InFlight {
    int id = 0;
    Clock::time_point deadline;
    int timeoutMilliseconds = 0;
    // Answered already (timed out), or no one is left to answer: the worker stops.
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
            answer_.error = code == ERROR_WINHTTP_TIMEOUT ? TransportMessages::noAnswerWithin(job_.request.timeoutMilliseconds)
                                                          : WinHttpText::describeError(code);
        }
        return false;
    }

    // Whether the client gave the request up: then nothing more is asked of WinHTTP.
    bool dropped() {
        std::lock_guard<std::mutex> lock(shared_.mutex);
        if (flight_->dropped && answer_.error.empty()) {
            answer_.error = "cancelled";
        }
        return flight_->dropped;
    }

    bool perform() {
        const std::wstring url = WinHttpText::wide(job_.request.url);
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
        // The worker's own handle, closed here when the request is over and by no one else.
        HandleCloser opened{WinHttpOpenRequest(connection.handle, WinHttpText::wide(job_.request.method).c_str(),
                                               target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)};
        HINTERNET request = opened.handle;
        if (request == nullptr) {
            return failed();
        }
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
        if (dropped() || !WinHttpSendRequest(request, headers, post ? static_cast<DWORD>(-1) : 0,
                                             WINHTTP_NO_REQUEST_DATA, 0, static_cast<DWORD>(body.size()), 0)) {
            return failed();
        }
        if (judgeChain && !judgeServer(request, host)) {
            return failed();
        }
        for (std::size_t sent = 0; sent < body.size();) {
            DWORD wrote = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(body.size() - sent, 1u << 20));
            if (dropped() || !WinHttpWriteData(request, body.data() + sent, chunk, &wrote) || wrote == 0) {
                return failed();
            }
            sent += wrote;
        }
        if (dropped() || !WinHttpReceiveResponse(request, nullptr)) {
            return failed();
        }
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return failed();
        }
        answer_.retryAfterSeconds = RetryAfter::seconds(WinHttpText::header(request, WINHTTP_QUERY_RETRY_AFTER),
                                                      static_cast<std::int64_t>(std::time(nullptr)));
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
        const bool good = WinHttpTrust::trusted(server, authority_, host, answer_.error);
        CertFreeCertificateContext(server);
        return good;
    }

    bool readBody(HINTERNET request) {
        for (;;) {
            DWORD available = 0;
            if (dropped() || !WinHttpQueryDataAvailable(request, &available)) {
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
        shared->inFlight.erase(flight);
    }
    --shared->workers;
}

} // namespace

struct PlatformHttpClient::Backend {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    int lastId = 0;
    int pending = 0;
};

PlatformHttpClient::PlatformHttpClient() : backend_(std::make_unique<Backend>()) {
    Shared& shared = *backend_->shared;
    shared.session = WinHttpOpen(L"TAMQ 4 Pelrok", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
    if (shared.session == nullptr) {
        shared.sessionError = "WinHTTP cannot start: " + WinHttpText::describeError(GetLastError());
    }
}

PlatformHttpClient::~PlatformHttpClient() {
    Shared& shared = *backend_->shared;
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.stopping = true;
    shared.queue.clear();
    for (InFlight& flight : shared.inFlight) {
        flight.dropped = true;
    }
    // The workers are never joined: each leaves once its call returns, and the last one out
    // releases the session.
    shared.wake.notify_all();
}

void PlatformHttpClient::setCertificateAuthority(const std::string& pemFile) {
    HCERTSTORE store = nullptr;
    std::string fault;
    if (!pemFile.empty()) {
        std::string pem;
        if (!FileReader::read(pemFile, pem, fault)) {
            fault = pemFile + ": " + fault;
        } else if ((store = WinHttpTrust::readAuthority(pem)) == nullptr) {
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

int PlatformHttpClient::send(const HttpRequest& request) {
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

bool PlatformHttpClient::poll(HttpAnswer& answer) {
    Backend& backend = *backend_;
    Shared& shared = *backend.shared;
    std::lock_guard<std::mutex> lock(shared.mutex);
    // WinHTTP's timeouts hold for each step of a request; the request's own is for the whole
    // of it, counted from send, queue included.
    const Clock::time_point now = Clock::now();
    for (InFlight& flight : shared.inFlight) {
        if (!flight.dropped && now >= flight.deadline) {
            flight.dropped = true;
            HttpAnswer timedOut;
            timedOut.id = flight.id;
            timedOut.error = TransportMessages::noAnswerWithin(flight.timeoutMilliseconds);
            shared.done.push_back(timedOut);
        }
    }
    for (auto job = shared.queue.begin(); job != shared.queue.end();) {
        if (now >= job->deadline) {
            HttpAnswer timedOut;
            timedOut.id = job->id;
            timedOut.error = TransportMessages::noAnswerWithin(job->request.timeoutMilliseconds);
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
    return answered;
}

int PlatformHttpClient::pending() const { return backend_->pending; }
