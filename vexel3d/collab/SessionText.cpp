#include "collab/SessionText.h"

#include "wire/NumberText.h"

#include "collab/CaptureRecord.h"
#include "wire/StateLines.h"
#include "collab/StateText.h"
#include "volume/SeriesState.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace v3d {

namespace {
constexpr const char* kDebugMark = "(Debug)";

std::string_view beforeDebugMark(std::string_view text) {
    const size_t at = text.find(kDebugMark);
    if (at == std::string_view::npos) return text;
    // Cut before the character preceding the mark (the blank before it).
    return text.substr(0, at == 0 ? 0 : at - 1);
}
}  // namespace

std::string buildSessionText(bool full, const ViewCore& view, const SeriesState& series, const CaptureRecord& capture,
                             const GroupLocation& group) {
    std::string text;
    if (series.imageIds.empty()) return text;
    appendLine(text, "version ", "0");
    if (full) {
        appendLine(text, "images ", escapeValue(packImageList(series.imageIds)));
        appendLine(text, "prevseriesid ", escapeValue(capture.prevSeriesId));
        appendLine(text, "prevseriesnum ", FieldWriter().integer(capture.prevSeriesNumber).text());
        appendLine(text, "slicenum ", FieldWriter().integer(series.sliceNumber).text());
        appendLine(text, "slicedist ", FieldWriter().real(series.sliceDistance).text());
        text += buildStateText(view, capture, kSavedStateMask);
    } else {
        appendLine(text, "group ", FieldWriter().integer(group.study).integer(group.group).text());
        text += buildStateText(view, capture, kCompactStateMask);
    }
    return text;
}

std::string buildStartupListText(const std::vector<std::string>& ids) {
    std::string text;
    appendLine(text, kStartupImagesKeyword.keyword, escapeValue(packImageList(ids)));
    return text;
}

SessionRestore parseSessionText(std::string_view text) {
    SessionRestore restore;
    if (std::optional<std::string> list = findLine(kStartupImagesKeyword.keyword, text)) {
        UnpackedImageList unpacked = unpackImageList(*list);
        restore.source = SessionRestore::Source::StartupList;
        restore.ids = std::move(unpacked.ids);
        restore.listStatus = unpacked.status;
        return restore;
    }
    if (std::optional<std::string> images = findLine("images ", text)) {
        UnpackedImageList unpacked = unpackImageList(*images);
        restore.source = SessionRestore::Source::Images;
        restore.ids = std::move(unpacked.ids);
        restore.listStatus = unpacked.status;
        restore.prevSeriesId = findLine("prevseriesid ", text).value_or(std::string());
        if (std::optional<std::string> number = findLine("prevseriesnum ", text)) {
            FieldReader r(*number);
            uint32_t n = 0;
            if (r.readUnsigned(n)) restore.prevSeriesNumber = n;
        }
    } else if (std::optional<std::string> group = findLine("group ", text)) {
        FieldReader r(*group);
        GroupLocation location;
        if (r.readInt(location.study) && r.readInt(location.group)) {
            restore.source = SessionRestore::Source::Group;
            restore.group = location;
        }
    }
    if (std::optional<std::string> slice = findLine("slicenum ", text)) {
        FieldReader r(*slice);
        int32_t n = 0;
        if (r.readInt(n)) restore.sliceNumber = n;
    }
    if (std::optional<std::string> distance = findLine("slicedist ", text)) {
        FieldReader r(*distance);
        double d = 0;
        if (r.readDouble(d)) restore.sliceDistance = d;
    }
    return restore;
}

bool startupListNeedsLoad(const std::vector<std::string>& listed, const std::vector<std::string>& shown) {
    if (listed.empty() || shown.empty()) return true;
    return !std::all_of(listed.begin(), listed.end(), [&](const std::string& id) {
        return std::find(shown.begin(), shown.end(), id) != shown.end();
    });
}

bool madeByPlugin(std::string_view softwareVersions, std::string_view pluginId) {
    return beforeDebugMark(softwareVersions) == beforeDebugMark(pluginId);
}

std::optional<std::string> stateTextOfBlob(const uint8_t* bytes, size_t length) {
    if (!bytes || length == 0 || length > kMaxStateBlob) return std::nullopt;
    const auto* zero = static_cast<const uint8_t*>(std::memchr(bytes, 0, length));
    if (!zero) return std::nullopt;
    // DICOM pads values to an even length with zeros; anything else after
    // the terminating zero means the text is not what it claims.
    for (const uint8_t* p = zero; p < bytes + length; ++p)
        if (*p != 0) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(zero - bytes));
}

std::string rewriteDroppedState(std::string_view state, std::string_view seriesUid, std::string_view seriesNumber) {
    std::string out;
    size_t pos = 0;
    while (pos < state.size()) {
        size_t end = state.find('\n', pos);
        if (end == std::string_view::npos) end = state.size();
        const std::string_view line = state.substr(pos, end - pos);
        if (line.rfind("prevseriesid ", 0) != 0 && line.rfind("prevseriesnum ", 0) != 0) {
            out.append(line);
            out += '\n';
        }
        pos = end + 1;
    }
    appendLine(out, "prevseriesid ", escapeValue(seriesUid));
    appendLine(out, "prevseriesnum ", seriesNumber);
    return out;
}

}  // namespace v3d
