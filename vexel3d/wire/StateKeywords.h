#pragma once
// The keywords of a state text, as the plug-in writes and reads them and as
// the collaboration hub sorts them: state it keeps for late joiners, the
// cut-plane group that a new table replaces whole, and events that are
// never kept. Plain C++ of its own, so that the host reads it too.

#include <string>
#include <string_view>

namespace v3d {

enum class KeywordKind {
    Marker,      // opens every state message
    State,       // the latest line is the state
    PlaneTable,  // opens the cut-plane group: earlier plane lines are gone
    Event,       // happens once: never part of the state
};

struct StateKeyword {
    std::string_view keyword;  // with its closing blank
    KeywordKind kind;
};

constexpr const char* kStateMarkerLine = "J_justspec dummy\n";
constexpr StateKeyword kMarker{"J_justspec ", KeywordKind::Marker};
constexpr StateKeyword kCameraKeyword{"J_camera ", KeywordKind::State};
constexpr StateKeyword kRendererKeyword{"J_renderer ", KeywordKind::State};
constexpr StateKeyword kFrameKeyword{"J_frame ", KeywordKind::State};
constexpr StateKeyword kTumblingKeyword{"J_tumbling ", KeywordKind::State};
constexpr StateKeyword kThresholdKeyword{"J_threshold ", KeywordKind::State};
constexpr StateKeyword kWindowKeyword{"J_wwwc ", KeywordKind::State};
constexpr StateKeyword kCameraVectorsKeyword{"J_camvectors ", KeywordKind::State};
constexpr StateKeyword kSegHistoryKeyword{"J_seghistory ", KeywordKind::State};
constexpr StateKeyword kCutPlanesKeyword{"J_cutplanes ", KeywordKind::PlaneTable};
constexpr StateKeyword kCutPlaneEditKeyword{"J_cutplaneedit ", KeywordKind::State};
constexpr StateKeyword kControlKeyword{"J_control ", KeywordKind::State};
constexpr StateKeyword kPointedValueKeyword{"J_pointedvalue ", KeywordKind::State};
constexpr StateKeyword kCaptureKeyword{"J_capture ", KeywordKind::Event};
constexpr StateKeyword kPutUnderKeyword{"J_putunder ", KeywordKind::Event};
// The images a window shows, in a message of their own (no marker) and in
// saved states: never a line of a state message.
constexpr StateKeyword kStartupImagesKeyword{"J_startupimlst ", KeywordKind::State};

// Every keyword a message may carry, but the cut-plane lines.
constexpr StateKeyword kStateKeywords[] = {
    kMarker, kCameraKeyword, kRendererKeyword, kFrameKeyword, kTumblingKeyword, kThresholdKeyword,
    kWindowKeyword, kCameraVectorsKeyword, kSegHistoryKeyword, kCutPlanesKeyword, kCutPlaneEditKeyword,
    kControlKeyword, kPointedValueKeyword, kCaptureKeyword, kPutUnderKeyword,
};

// "cutpln" + index + "data ": one plane of the cut-plane group.
std::string cutPlaneKeyword(int index);
bool isCutPlaneKeyword(std::string_view keyword);

// The kind of a line's keyword (its first word with the blank); a keyword
// not listed is state, as a newer peer's line would be.
KeywordKind kindOfKeyword(std::string_view keyword);

}  // namespace v3d
