#pragma once
// The packed form of a list of image identifiers: each identifier is
// rebuilt from literal runs and copies out of the identifier before it, so
// that a series of similar identifiers takes a fraction of their length.
//
//   0x01, then per identifier: tokens, 0x01; a zero byte ends the list.
//   token 2..127:  literal, the next (b - 2) bytes
//   token >= 130:  copy of (b & 0x7F) - 2 bytes from the previous identifier
//                  at offset 253 k + c - 2 (k bytes 255, then c in 2..254)

#include <string>
#include <string_view>
#include <vector>

namespace v3d {

enum class ImageListStatus {
    Complete,   // ended at its zero byte (or at its end)
    Truncated,  // a token ran past the end of the bytes
    Malformed,  // a bad marker, length or offset byte, or a copy beyond the previous identifier
};

struct UnpackedImageList {
    std::vector<std::string> ids;  // the identifiers completed before any fault
    ImageListStatus status = ImageListStatus::Complete;
};

// The packed bytes without the terminating zero. Identifiers must not hold
// a zero byte (they are C strings); escaping for a line is the caller's.
std::string packImageList(const std::vector<std::string>& ids);

// Reads at most bytes.size() bytes; stops at a zero byte.
UnpackedImageList unpackImageList(std::string_view bytes);

}  // namespace v3d
