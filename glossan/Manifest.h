#pragma once

#include <string>
#include <vector>

namespace glossan {

// The manifest: one file name a line. A line ends at LF, CR or CR LF; the
// last line needs no terminator, and a terminator at the very end does not
// start another line. Every other line, an empty one included, is a name.
struct Manifest {
    std::vector<std::string> names;
    // Line-feed characters in the text; the overall bar divides by one more.
    int lineFeeds = 0;
};

Manifest parseManifest(const std::string& text);

// Position of the overall bar before the k-th file (k from 1).
int overallPosition(int k, int lineFeeds);

// Names come from the network and become local paths: refuses empty,
// absolute and backslash names, any "..", and control characters or NUL.
bool isSafeFileName(const std::string& name);

}  // namespace glossan
