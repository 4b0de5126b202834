#include "Download.h"

#include "BodyLength.h"
#include "DownloadProgress.h"
#include "FileSink.h"
#include "Manifest.h"
#include "Sha256.h"

#include "QVHostApi.h"

#include <curl/curl.h>

#include <memory>

namespace glossan {

namespace {

constexpr long kBlockSize = 65536;
constexpr long kUnknownStatus = 666;

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

// State shared with the transfer callbacks. A callback that refuses data
// records why in `failure`, so the transfer's own error code does not hide it.
struct Transfer {
    CURL* curl = nullptr;
    DownloadProgress* progress = nullptr;
    int64_t maxBytes = 0;
    FileCheck check;
    FileSink sink;
    BodyLength length;
    Sha256 digest;
    uint64_t received = 0;
    DownloadStatus failure = DownloadStatus::Ok;

    explicit Transfer(std::string localPath) : sink(std::move(localPath)) {}

    // Where the body must end: announced, else listed; -1 when only the
    // chunked framing (checked by the transfer) or nothing tells.
    int64_t expectedEnd() const { return length.announced() >= 0 ? length.announced() : check.size; }

    bool fail(DownloadStatus status) {
        if (failure == DownloadStatus::Ok) failure = status;
        return false;
    }

    // The local file is only created once the answer is known to be a 200
    // of an acceptable length.
    bool start() {
        long status = kUnknownStatus;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200) return fail(DownloadStatus::BadStatus);
        if (length.invalid()) return fail(DownloadStatus::LengthMismatch);
        if (expectedEnd() < 0 && !length.chunked()) return fail(DownloadStatus::LengthUnknown);
        if (length.announced() >= 0 && check.size >= 0 && length.announced() != check.size)
            return fail(DownloadStatus::LengthMismatch);
        if (expectedEnd() > maxBytes) return fail(DownloadStatus::TooLarge);
        return sink.open() || fail(DownloadStatus::WriteFailed);
    }

    bool accept(const char* data, size_t size) {
        if (!sink.isOpen() && !start()) return false;
        const int64_t announced = length.announced(), end = expectedEnd();
        // Bytes past the expected end are not part of this file: the
        // announcement, the list or the body is wrong, and either way the file is.
        if (end >= 0 && received + size > uint64_t(end)) return fail(DownloadStatus::LengthMismatch);
        if (received + size > uint64_t(maxBytes)) return fail(DownloadStatus::TooLarge);
        if (!sink.write(data, size)) return fail(DownloadStatus::WriteFailed);
        if (!check.sha256.empty()) digest.add(data, size);
        received += size;
        if (checkCancel()) return false;
        if (progress && announced > 0) progress->setCurrentPosition(filePercent(received, uint64_t(announced)));
        return true;
    }

    bool checkCancel() {
        if (!progress || !progress->isCancelled()) return false;
        fail(DownloadStatus::Cancelled);
        return true;
    }
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->length.addHeaderLine(data, size * count);
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    return static_cast<Transfer*>(user)->accept(data, size * count) ? size * count : 0;
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

void configure(CURL* curl, const std::string& url, curl_slist* headers, const DownloadLimits& limits,
               Transfer& transfer) {
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
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeMs);
    // The body is read to the end of the connection and measured here, so
    // that bytes beyond the announced length are seen rather than dropped;
    // that end is a closing HTTP/1.1 connection.
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kBlockSize);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onIdle);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
}

DownloadStatus statusOf(CURLcode code) {
    switch (code) {
        case CURLE_OK: return DownloadStatus::Ok;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT: return DownloadStatus::BadUrl;
        case CURLE_OPERATION_TIMEDOUT: return DownloadStatus::TimedOut;
        case CURLE_PARTIAL_FILE: return DownloadStatus::Truncated;
        case CURLE_WRITE_ERROR: return DownloadStatus::WriteFailed;
        case CURLE_ABORTED_BY_CALLBACK: return DownloadStatus::Cancelled;
        default: return DownloadStatus::NetworkError;
    }
}

DownloadStatus fetch(const std::string& url, const DownloadLimits& limits, Transfer& transfer) {
    initialiseCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return DownloadStatus::NetworkError;
    // Always from the server itself, never from a cache on the way; and the
    // server ends the body by closing, which is what makes its end visible.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = headers ? curl_slist_append(headers, "Pragma: no-cache") : nullptr;
    headers = headers ? curl_slist_append(headers, "Connection: close") : nullptr;
    std::unique_ptr<curl_slist, CurlDeleter> headerList(headers);
    if (!headerList) return DownloadStatus::NetworkError;
    transfer.curl = curl.get();
    transfer.maxBytes = limits.maxBytes;
    configure(curl.get(), url, headerList.get(), limits, transfer);
    const CURLcode result = curl_easy_perform(curl.get());
    if (transfer.failure != DownloadStatus::Ok) return transfer.failure;
    if (result != CURLE_OK) return statusOf(result);
    // An empty body never reached the callback; its file is created here.
    if (!transfer.sink.isOpen() && !transfer.start()) return transfer.failure;
    const int64_t end = transfer.expectedEnd();
    if (end >= 0 && transfer.received != uint64_t(end)) return DownloadStatus::LengthMismatch;
    if (!transfer.check.sha256.empty() && transfer.digest.hex() != transfer.check.sha256)
        return DownloadStatus::ChecksumMismatch;
    if (!transfer.sink.commit()) return DownloadStatus::WriteFailed;
    return DownloadStatus::Ok;
}

}  // namespace

DownloadResult Download(const std::string& remoteFolder, const std::string& localFolder, const std::string& fileName,
                        DownloadProgress* progress, const DownloadLimits& limits, const FileCheck& check) {
    if (!isSafeFileName(fileName)) return {DownloadStatus::UnsafeName, 0};
    const std::unique_ptr<char, ServerDeleter> server(QVGetCurrentServer());
    const std::string url = std::string(server ? server.get() : "") + encodeUrlPath(remoteFolder + fileName);
    Transfer transfer(localFolder + fileName);
    transfer.progress = progress;
    transfer.check = check;
    const DownloadStatus status = fetch(url, limits, transfer);
    if (status != DownloadStatus::Ok) return {status, 0};
    return {status, static_cast<int32_t>(transfer.received)};
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
