#include "Download.h"

#include "CProgress.h"
#include "FileSink.h"
#include "Manifest.h"

#include "QVHostApi.h"

#include <curl/curl.h>

#include <limits>
#include <memory>

namespace glossan {

namespace {

constexpr long kBlockSize = 65536;

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct ServerDeleter {
    void operator()(char* server) const { QVFree(server); }
};

// State shared with the transfer callbacks.
struct Transfer {
    CURL* curl = nullptr;
    CProgress* progress = nullptr;
    FileSink sink;
    uint64_t received = 0;
    int64_t total = -1;  // content length, -1 when the response has none
    bool cancelled = false;

    explicit Transfer(std::string localPath) : sink(std::move(localPath)) {}

    // The local file is only created once the answer is known to be a 200.
    bool start() {
        long status = 666;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (status != 200 || length > std::numeric_limits<int32_t>::max()) return false;
        total = length;
        return sink.open();
    }

    bool checkCancel() {
        if (progress && progress->isCancelled()) cancelled = true;
        return cancelled;
    }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (!transfer.sink.isOpen() && !transfer.start()) return 0;
    if (!transfer.sink.write(data, length)) return 0;
    transfer.received += length;
    if (transfer.received > uint64_t(std::numeric_limits<int32_t>::max())) return 0;
    if (transfer.checkCancel()) return 0;
    if (transfer.progress && transfer.total > 0)
        transfer.progress->setCurrentPosition(filePercent(transfer.received, uint64_t(transfer.total)));
    return length;
}

// Also called while the network is quiet, so the window stays alive and
// Cancel works even when the server stalls.
int onIdle(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->checkCancel() ? 1 : 0;
}

void initialiseCurlOnce() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
}

void configure(CURL* curl, const std::string& url, curl_slist* headers, Transfer& transfer) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct, whatever the environment says
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Certificate failures are final: the files are programs the host runs.
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kBlockSize);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onIdle);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
}

int32_t fetch(const std::string& url, Transfer& transfer) {
    initialiseCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return -1;
    // Always from the server itself, never from a cache on the way.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = headers ? curl_slist_append(headers, "Pragma: no-cache") : nullptr;
    std::unique_ptr<curl_slist, CurlDeleter> headerList(headers);
    if (!headerList) return -1;
    transfer.curl = curl.get();
    configure(curl.get(), url, headerList.get(), transfer);
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 666;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status != 200 || transfer.cancelled) return -1;
    // An empty body never reached the callback; its file is created here.
    if (!transfer.sink.isOpen() && !transfer.start()) return -1;
    if (!transfer.sink.close()) return -1;
    return static_cast<int32_t>(transfer.received);
}

}  // namespace

int32_t Download(const std::string& remoteFolder, const std::string& localFolder, const std::string& fileName,
                 CProgress* progress) {
    if (!isSafeFileName(fileName)) return -1;
    const std::unique_ptr<char, ServerDeleter> server(QVGetCurrentServer());
    const std::string url = std::string(server ? server.get() : "") + encodeUrlPath(remoteFolder + fileName);
    Transfer transfer(localFolder + fileName);
    transfer.progress = progress;
    return fetch(url, transfer);
}

std::string encodeUrlPath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || isUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

int filePercent(uint64_t received, uint64_t total) {
    return total == 0 ? 0 : static_cast<int>(received * 100 / total);
}

}  // namespace glossan
