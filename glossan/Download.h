#pragma once

#include <cstdint>
#include <string>

namespace glossan {

class CProgress;

// Fetches the host's current server + remoteFolder + fileName into
// localFolder + fileName (both folders end with "/"). Answers the byte
// count, or -1 on any failure: unsafe name (no request is made), bad URL,
// network or certificate error, status other than 200, short body, write
// error, or cancellation through the progress window. With a progress
// window, events are pumped, the current-file bar moved and Cancel checked
// after every block. A partly written file stays where it is.
int32_t Download(const std::string& remoteFolder, const std::string& localFolder, const std::string& fileName,
                 CProgress* progress);

// The URL path with every segment percent-encoded ("/" kept between them).
std::string encodeUrlPath(const std::string& path);

// received * 100 / total in 64 bits, so large files do not wrap.
int filePercent(uint64_t received, uint64_t total);

}  // namespace glossan
