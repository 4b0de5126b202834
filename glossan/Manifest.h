#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glossan {

// One file of the module, and what the server promises about it. A line is
// the name, optionally followed by tab-separated fields: "size=<decimal
// bytes>" and "sha256=<64 hex digits>". A plain name (all an older server
// sends) promises nothing; a name cannot hold a tab, so old lists read the
// same. Fields of other keys are ignored, for servers newer than us.
struct FileCheck {
    int64_t size = -1;   // -1: not given
    std::string sha256;  // lower-case hex, empty when not given
};

struct ManifestEntry {
    std::string name;
    FileCheck check;
};

enum class ManifestStatus {
    Ok,
    TooManyEntries,  // more names than any module has: refused before any is fetched
    BadField,        // a size or checksum that cannot be read, or given twice
};

// The manifest: one entry a line. A line ends at LF, CR or CR LF; the last
// line needs no terminator, and a terminator at the very end does not start
// another line. Every other line, an empty one included, is an entry.
struct Manifest {
    ManifestStatus status = ManifestStatus::Ok;
    std::vector<ManifestEntry> entries;
    // Line-feed characters in the text; the overall bar divides by one more.
    int lineFeeds = 0;

    // Each entry is a request at start-up: a longer list only holds the user.
    static constexpr size_t kMaxEntries = 1000;
};

Manifest parseManifest(const std::string& text);

// Position of the overall bar before the k-th file (k from 1).
int overallPosition(int k, int lineFeeds);

// Names come from the network and become local paths: refuses empty,
// absolute and backslash names, any "..", and control characters or NUL.
bool isSafeFileName(const std::string& name);

}  // namespace glossan
