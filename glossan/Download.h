#pragma once

#include "Manifest.h"

#include <cstdint>
#include <limits>
#include <string>

namespace glossan {

class DownloadProgress;

// Why a download ended.
enum class DownloadStatus {
    Ok,
    UnsafeName,      // the name could become a path outside the folder; no request made
    BadUrl,          // the server string and path do not form a usable URL
    NetworkError,    // refused, reset, TLS or certificate failure, no transfer object
    TimedOut,        // no connection in time, too slow for too long, or over the time limit
    BadStatus,       // an answer other than 200, redirects included
    TooLarge,        // more bytes announced or received than allowed
    LengthMismatch,  // body length differs from the announced or listed one, or the announcement is unreadable
    LengthUnknown,   // neither announced, nor chunked, nor listed: a cut body would look whole
    ChecksumMismatch,  // the body is not what the list's checksum says
    Truncated,       // the transfer itself reports a body that ended early
    WriteFailed,     // the local file could not be created, written or flushed (disk full)
    Cancelled,       // the user pressed Cancel
};

struct DownloadResult {
    DownloadStatus status = DownloadStatus::Ok;
    int32_t bytes = 0;  // the file's size when status is Ok

    bool ok() const { return status == DownloadStatus::Ok; }
};

// How long a server may keep us waiting and how much it may send. A server
// that accepts and then goes quiet (or drips) is given up after the
// low-speed window; nothing waits longer than connect time plus that window
// without a byte of progress, and Cancel is honoured throughout.
struct DownloadLimits {
    long connectTimeoutMs = 10000;
    long lowSpeedBytesPerSecond = 512;
    long lowSpeedSeconds = 15;
    long totalTimeMs = 0;  // 0: no limit on the whole request
    int64_t maxBytes = std::numeric_limits<int32_t>::max();
};

// Fetches the host's current server + remoteFolder + fileName into
// localFolder + fileName (both folders end with "/"). With a progress
// sink, its current position follows the body when the length is known and
// Cancel is checked after every block and while the network is quiet. A
// body is taken only when its end is known (Content-Length, chunked framing
// or the listed size) and reached exactly, and when it matches every
// listed check. The file appears under its name whole or not at all, and
// only for a 200 answer.
DownloadResult Download(const std::string& remoteFolder, const std::string& localFolder, const std::string& fileName,
                        DownloadProgress* progress, const DownloadLimits& limits = DownloadLimits{},
                        const FileCheck& check = FileCheck{});

// The URL path with every segment percent-encoded ("/" kept between them).
std::string encodeUrlPath(const std::string& path);

// received * 100 / total in 64 bits, so large files do not wrap.
int filePercent(uint64_t received, uint64_t total);

}  // namespace glossan
