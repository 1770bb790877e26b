// The HTTP client on Linux: libcurl's multi interface on one worker thread. The game
// thread only queues requests and takes finished answers under a mutex; the worker sleeps
// in curl_multi_poll, which send and the destructor interrupt with curl_multi_wakeup.

#include "PlatformHttpClient.h"
#include "link/RetryAfter.h"
#include "TransportMessages.h"

#include "io/FileReader.h"

#include <curl/curl.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Where Debian's libcurl finds the system's certificate authorities when it cannot say.
constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The system's bundle as libcurl was built to find it.
std::string systemBundlePath() {
    CURL* probe = curl_easy_init();
    const char* path = nullptr;
    std::string result = kSystemBundle;
    if (probe != nullptr && curl_easy_getinfo(probe, CURLINFO_CAINFO, &path) == CURLE_OK && path != nullptr) {
        result = path;
    }
    curl_easy_cleanup(probe);
    return result;
}

// The seconds of a Retry-After header, 0 when there is none.
int retryAfterSeconds(CURL* easy) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &header) != CURLHE_OK || header == nullptr) {
        return 0;
    }
    return RetryAfter::seconds(header->value, static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace

struct PlatformHttpClient::Backend {
    struct Transfer {
        int id = 0;
        HttpRequest request;
        CURL* easy = nullptr;
        curl_slist* headers = nullptr;
        std::string body;
        bool tooLarge = false;
        char error[CURL_ERROR_SIZE] = {};
    };

    std::mutex mutex;
    std::deque<std::pair<int, HttpRequest>> queued;
    std::deque<HttpAnswer> finished;
    bool stopping = false;
    int nextId = 1;
    int pending = 0;
    // The authorities trusted (empty for libcurl's own choice), or why they cannot be.
    std::string certificates;
    std::string certificateFault;

    CURLM* multi = nullptr;
    std::list<Transfer> transfers;
    std::thread worker;

    Backend() {
        initialiseCurlOnce();
        multi = curl_multi_init();
        worker = std::thread([this] { run(); });
    }

    ~Backend() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        curl_multi_wakeup(multi);
        worker.join();
        for (Transfer& transfer : transfers) {
            release(transfer);
        }
        curl_multi_cleanup(multi);
    }

    static std::size_t write(char* data, std::size_t size, std::size_t count, void* user) {
        auto* transfer = static_cast<Transfer*>(user);
        const std::size_t bytes = size * count;
        if (transfer->body.size() + bytes > kMaxHttpAnswerBytes) {
            transfer->tooLarge = true;
            return 0;
        }
        transfer->body.append(data, bytes);
        return bytes;
    }

    void begin(int id, HttpRequest request, const std::string& trusted, const std::string& trustFault) {
        Transfer& transfer = transfers.emplace_back();
        transfer.id = id;
        transfer.request = std::move(request);
        transfer.easy = curl_easy_init();
        CURL* easy = transfer.easy;
        curl_easy_setopt(easy, CURLOPT_URL, transfer.request.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // A transfer dropped mid-resolve must not wait for the resolver's thread.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(transfer.request.timeoutMilliseconds));
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.error);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Backend::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "tamq4pelrok");
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
        if (transfer.request.method == "POST") {
            // A record goes in one piece: no round trip waiting for "100 Continue".
            transfer.headers = curl_slist_append(transfer.headers, "Content-Type: application/json");
            transfer.headers = curl_slist_append(transfer.headers, "Expect:");
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer.request.body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, transfer.request.body.data());
        } else if (transfer.request.method != "GET") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, transfer.request.method.c_str());
        }
        if (!trusted.empty()) {
            curl_blob blob{const_cast<char*>(trusted.data()), trusted.size(), CURL_BLOB_COPY};
            curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
        }
        if (!trustFault.empty() && transfer.request.url.rfind("https:", 0) == 0) {
            HttpAnswer answer;
            answer.id = id;
            answer.error = trustFault;
            finish(transfer, std::move(answer));
            return;
        }
        curl_multi_add_handle(multi, easy);
    }

    void release(Transfer& transfer) {
        curl_multi_remove_handle(multi, transfer.easy);
        curl_easy_cleanup(transfer.easy);
        curl_slist_free_all(transfer.headers);
    }

    void finish(Transfer& transfer, HttpAnswer answer) {
        release(transfer);
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished.push_back(std::move(answer));
        }
        transfers.remove_if([&transfer](const Transfer& t) { return &t == &transfer; });
    }

    void collect() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            HttpAnswer answer;
            answer.id = transfer->id;
            const CURLcode result = message->data.result;
            if (result == CURLE_OK) {
                long status = 0;
                curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
                answer.status = static_cast<int>(status);
                answer.body = std::move(transfer->body);
                answer.retryAfterSeconds = retryAfterSeconds(transfer->easy);
            } else if (transfer->tooLarge) {
                answer.error = "the answer is larger than " + std::to_string(kMaxHttpAnswerBytes) + " bytes";
            } else if (result == CURLE_OPERATION_TIMEDOUT) {
                answer.error = TransportMessages::noAnswerWithin(transfer->request.timeoutMilliseconds);
            } else {
                answer.error = transfer->error[0] != '\0' ? transfer->error : curl_easy_strerror(result);
            }
            finish(*transfer, std::move(answer));
        }
    }

    void run() {
        for (;;) {
            std::deque<std::pair<int, HttpRequest>> starting;
            std::string trusted, trustFault;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (stopping) {
                    return;
                }
                starting.swap(queued);
                if (!starting.empty()) {
                    trusted = certificates;
                    trustFault = certificateFault;
                }
            }
            for (auto& [id, request] : starting) {
                begin(id, std::move(request), trusted, trustFault);
            }
            int running = 0;
            curl_multi_perform(multi, &running);
            collect();
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }
};

PlatformHttpClient::PlatformHttpClient() : backend_(std::make_unique<Backend>()) {}

PlatformHttpClient::~PlatformHttpClient() = default;

void PlatformHttpClient::setCertificateAuthority(const std::string& pemFile) {
    std::string system, own, fault;
    std::string certificates;
    std::string certificateFault;
    if (!pemFile.empty()) {
        if (!FileReader::read(pemFile, own, fault)) {
            certificateFault = pemFile + ": " + fault;
        } else {
            // Without the system's bundle the board's own authority would be the only one.
            FileReader::read(systemBundlePath(), system, fault);
            certificates = system + "\n" + own;
        }
    }
    std::lock_guard<std::mutex> lock(backend_->mutex);
    backend_->certificates = std::move(certificates);
    backend_->certificateFault = std::move(certificateFault);
}

int PlatformHttpClient::send(const HttpRequest& request) {
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(backend_->mutex);
        id = backend_->nextId++;
        backend_->queued.emplace_back(id, request);
        ++backend_->pending;
    }
    curl_multi_wakeup(backend_->multi);
    return id;
}

bool PlatformHttpClient::poll(HttpAnswer& answer) {
    std::lock_guard<std::mutex> lock(backend_->mutex);
    if (backend_->finished.empty()) {
        return false;
    }
    answer = std::move(backend_->finished.front());
    backend_->finished.pop_front();
    --backend_->pending;
    return true;
}

int PlatformHttpClient::pending() const {
    std::lock_guard<std::mutex> lock(backend_->mutex);
    return backend_->pending;
}
