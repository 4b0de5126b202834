#pragma once
// The saved-state text of a 3D window (kept with host layouts and inside
// every captured image), the startup image list that tells peers which
// images to load, and the recognition of this plug-in's captured images.

#include "wire/ImageList.h"
#include "wire/WireLimits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace v3d {

class ViewCore;
struct CaptureRecord;
struct SeriesState;

// Where the window's first image's group sits in the host: study and group
// index (0 0 when not found).
struct GroupLocation {
    int32_t study = 0;
    int32_t group = 0;
};

// Full form: images, capture series, slice values and the state lines of
// all groups but the capture; compact form: the group line and the camera
// group. Empty for a window without images.
std::string buildSessionText(bool full, const ViewCore& view, const SeriesState& series, const CaptureRecord& capture,
                             const GroupLocation& group);

// "J_startupimlst " with the escaped packed list, one line.
std::string buildStartupListText(const std::vector<std::string>& ids);

// What a text without the peer marker asks a window to restore.
struct SessionRestore {
    enum class Source { None, StartupList, Images, Group };
    Source source = Source::None;
    std::vector<std::string> ids;  // StartupList, Images
    ImageListStatus listStatus = ImageListStatus::Complete;
    GroupLocation group;           // Group
    std::string prevSeriesId;
    uint32_t prevSeriesNumber = 0;
    std::optional<int32_t> sliceNumber;
    std::optional<double> sliceDistance;
};

SessionRestore parseSessionText(std::string_view text);

// Whether a startup list asks a window showing `shown` to load anew: not
// when every listed image is one it shows (a peer opening its window on the
// same series sends the images of its panel), which would throw away the
// pose, planes and segmentation the peer is about to be sent.
bool startupListNeedsLoad(const std::vector<std::string>& listed, const std::vector<std::string>& shown);

// The (0018,1018) text of an image names this plug-in: both cut short
// before the character that precedes "(Debug)".
bool madeByPlugin(std::string_view softwareVersions, std::string_view pluginId);

// The text of a private state blob: refused whole (nothing) without its
// terminating zero, with other bytes than zeros (padding) after it, or
// above kMaxStateBlob.
std::optional<std::string> stateTextOfBlob(const uint8_t* bytes, size_t length);

// The blob's lines with "prevseriesid " and "prevseriesnum " replaced by the
// given values (old lines removed, new ones appended), each line ending in
// a line feed.
std::string rewriteDroppedState(std::string_view state, std::string_view seriesUid, std::string_view seriesNumber);

}  // namespace v3d
