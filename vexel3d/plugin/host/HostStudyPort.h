#pragma once
// The study's side of captures and saved states over the host functions,
// for one window.

#include "interact/StudyPort.h"

namespace v3d {

class HostStudyPort : public StudyPort {
public:
    explicit HostStudyPort(QVWindowHandle window) : m_window(window) {}

    CaptureFileStatus addCaptureFile(const CaptureFile& file, std::string& imageId) override;
    void showInOwnCell(const std::string& imageId) override;
    std::string seriesUid(const std::string& imageId) override;
    std::optional<uint32_t> seriesNumber(const std::string& imageId) override;
    std::string sopInstanceUid(const std::string& imageId) override;
    bool canDelete(const std::string& imageId) override;
    GroupLocation groupOfImage(const std::string& imageId) override;
    std::vector<std::string> imagesOfGroup(GroupLocation location) override;
    PanelImages imagesOfPanel(QVPanelHandle panel) override;
    void windowLevelOfPanel(QVPanelHandle panel, WindowLevelRecord& record) override;
    std::optional<std::string> capturedState(const std::string& imageId) override;

private:
    QVWindowHandle m_window;
};

}  // namespace v3d
