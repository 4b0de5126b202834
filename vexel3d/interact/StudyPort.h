#pragma once
// What a capture and a saved state need of the host's study: a new image
// made of the captured pixels and the attributes the view decides, the
// series and instance of an image, the groups, and the state a capture
// carries. The plug-in implements it over the host functions.

#include "QVHostApi.h"
#include "collab/SessionText.h"
#include "interact/CapturePixels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace v3d {

// A captured view as a new image of the study.
struct CaptureFile {
    const CapturedPixels* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::string sourceImageId;    // the image whose study and patient it joins
    std::string sopUid;           // empty: a new one
    std::string seriesUid;        // empty: a new series
    uint32_t seriesNumber = 0;
    // Grey pictures carry their stored bits and the rescale to HU; colour
    // ones carry no rescale at all.
    uint16_t bitsStored = 0;
    double slope = 1.0;
    double intercept = 0.0;
    double windowCentre = 128.0;
    double windowWidth = 256.0;
    // The source's series description follows it.
    std::string descriptionPrefix;
    std::array<double, 6> orientation{};  // the camera's right and up
    std::string savedState;
    // Deleted just before the new image comes in (the same instance UID).
    std::string replacedImageId;
};

enum class CaptureFileStatus { Added, CreateFailed, AddFailed };

// The images of a panel dropped on the window, and its active one.
struct PanelImages {
    int views = 0;
    std::vector<std::string> ids;  // the views' images, those without one left out
    std::string active;
};

class StudyPort {
public:
    virtual ~StudyPort() = default;

    // imageId is the new image's when Added.
    virtual CaptureFileStatus addCaptureFile(const CaptureFile& file, std::string& imageId) = 0;
    // Shows the image's group in this window's cell, the image active.
    virtual void showInOwnCell(const std::string& imageId) = 0;

    virtual std::string seriesUid(const std::string& imageId) = 0;
    virtual std::optional<uint32_t> seriesNumber(const std::string& imageId) = 0;
    virtual std::string sopInstanceUid(const std::string& imageId) = 0;
    virtual bool canDelete(const std::string& imageId) = 0;

    // The study and group indexes of the image's group ({0, 0} when not found).
    virtual GroupLocation groupOfImage(const std::string& imageId) = 0;
    virtual std::vector<std::string> imagesOfGroup(GroupLocation location) = 0;
    virtual PanelImages imagesOfPanel(QVPanelHandle panel) = 0;
    // The window the panel's first view shows.
    virtual void windowLevelOfPanel(QVPanelHandle panel, WindowLevelRecord& record) = 0;
    // The saved state a capture of this plug-in carries; nothing for
    // other images.
    virtual std::optional<std::string> capturedState(const std::string& imageId) = 0;
};

}  // namespace v3d
