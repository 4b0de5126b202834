#pragma once

#include "QVPluginApi.h"
#include "collab/CaptureRecord.h"
#include "collab/PeerCaptureBudget.h"
#include "collab/PeerSender.h"
#include "collab/PeerState.h"
#include "interact/ExportRun.h"
#include "plugin/host/HostSeriesPort.h"
#include "plugin/host/HostStudyPort.h"
#include "plugin/host/HostViewServices.h"
#include "plugin/host/SegmentationObject.h"
#include "volume/SeriesAcquisition.h"
#include "volume/SeriesState.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QToolBar;

namespace v3d {

class Camera;
class CVolume;
class CPerspective;

// The frame of one 3D window: fills its host cell, holds the view and the
// toolbars, and owns everything of the one loaded series.
class CBackground : public QMainWindow, public VolumeChangeSink, public PeerStateActions {
    Q_OBJECT
public:
    explicit CBackground(QWidget* cell);
    ~CBackground() override;

    // Creates a frame as a visible child covering the cell, registers it and
    // makes it the active window; null when the cell is null.
    static CBackground* createInCell(QWidget* cell);

    QVWindowHandle handle() { return reinterpret_cast<QVWindowHandle>(static_cast<QWidget*>(this)); }
    CPerspective* view() const { return m_view; }
    ViewServices& viewServices() { return m_viewServices; }

    // Command routing: the frame's own commands, then the view's.
    bool onCommand(int command, int code, void* extra, void* handlerInfo);
    void dispatchCommand(int command);
    intptr_t handleHostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // Entry of peer texts and saved states; answers kPutUnderHandled when
    // nothing is to be re-rendered, 0 when a peer state waits for images,
    // else 1 (0 too for a restore whose series did not load).
    int handlePeerText(const char* text);
    // The saved-state text: full (layouts, captured images) or compact.
    std::string sessionText(bool full);
    // "J_justspec dummy" and the state lines of mask to the peers (mask > 0),
    // naming the frame's window or the view's.
    void sendStateToPeers(int mask, bool fromView = false);
    PeerSender& peerSender() { return *m_peerSender; }
    // Tests record what goes to the peers; null restores the host's way.
    void setPeerSender(PeerSender* sender) { m_peerSender = sender ? sender : &m_hostPeers; }

    // Capture and export. createDicomImage answers the new image's
    // identifier, empty on failure (the reason shown). replacedImageId (the
    // image whose instance UID the new one takes) is deleted only once the
    // new image is made up whole, right before it joins the study.
    std::string createDicomImage(int width, int height, const std::string& sourceImageId, const std::string& sopUid,
                                 const std::string& seriesUid, uint32_t seriesNumber,
                                 const std::string& replacedImageId = std::string());
    bool captureAndShare(int width, int height, bool replace);
    // A peer's put-under request: a quick capture within the peers' allowance.
    void quickCapture() override;
    // The user's own quick capture.
    void userQuickCapture();
    void exportImages(const ExportOptions& options);
    // Command "Capture images": the export dialog, then the export.
    void captureImagesCommand();

    // PeerStateActions
    void captureForPeer(const PeerCapture& request) override;

    // The kept voxels as a DICOM Segmentation added to the study through the
    // host; false with the reason in `why`.
    bool saveSegmentationAsDicom(const SegSegmentDescription& description, std::string& objectUid, std::string& why);
    // Sets the mask to the one segment of a DICOM Segmentation of the shown
    // series, as an operation of the history (peers and saved states
    // follow); false with the reason, and nothing changed.
    bool openSegmentationFile(const std::string& path, std::string& why);
    // Whether a file is a DICOM Segmentation (a drop this window takes).
    static bool isSegmentationFile(const std::string& path);
    // The menu commands: a dialog, then the above; refusals in a message box.
    void saveSegmentationCommand();
    void openSegmentationCommand();
    void continueSegHistory(const std::string& history) override;

    // Series acquisition: builds the volume from the host's images; false,
    // with the reason shown, when it could not (the window keeps what it had).
    bool loadSeries(const std::vector<std::string>& ids);
    // Refresh from the host while images still arrive.
    void updateVolume();
    // One tick of the refresh timer.
    void refreshTick();

    // Refreshes command states that Qt does not track by itself (idle time).
    void updateCommandStates();

    // The toolbar a "Toolbars" toggle command stands for, or null.
    QToolBar* barOfToggle(int command) const;
    // Whether a bar shows (not hidden by the user), whatever the window's own visibility.
    static bool barShown(const QToolBar* bar);

    // Tests replace the machine's physical memory (bytes); 0 restores it.
    static void setPhysicalMemoryForTesting(uint64_t bytes) { HostSeriesPort::setPhysicalMemoryForTesting(bytes); }

    // VolumeChangeSink
    CVolume& volumeForChange() override;
    void volumeReplaced() override;
    void volumeRefreshed() override;

    // The loaded series and its download state.
    SeriesState series;
    CaptureRecord capture;
    WindowLevelRecord windowLevel{};
    std::unique_ptr<CVolume> volume;
    std::unique_ptr<Camera> camera;
    QToolBar* viewBar = nullptr;
    QToolBar* cutPlanesBar = nullptr;
    QToolBar* segmentationBar = nullptr;
    QToolBar* mainBar = nullptr;
    QToolBar* resetBar = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void fillCell();
    void createToolbars();
    QToolBar* createToolbar(int resource, const char* title, Qt::ToolBarArea area, const std::vector<int>& commands);
    intptr_t windowLevelMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    intptr_t dropPanel(QVPanelHandle panel);
    // A saved-state or startup text: loads its images, then its state.
    int restoreFromText(const std::string& text);
    void stopRefreshTimer();
    // Shows the message of a failed load or refresh; false for those.
    bool reportLoad(SeriesLoadStatus status);
    // The shown series as the segmentation object needs it.
    bool sourceSeriesOfShown(SegSourceSeries& source, std::string& why) const;

    // Sends through the host's collaboration link.
    class HostPeers : public PeerSender {
    public:
        explicit HostPeers(CBackground& frame) : m_frame(frame) {}
        void sendToPeers(const std::string& text) override;
        void sendToPeersFromView(const std::string& text) override;

    private:
        CBackground& m_frame;
    };

    // False (after telling the user once) when peers have asked for more
    // images than the window makes for them.
    bool peerCaptureAllowed();

    // A peer's history still to replay (in batches, between events).
    std::string m_continuedHistory;
    bool m_continueScheduled = false;
    PeerCaptureBudget m_peerCaptures;
    HostPeers m_hostPeers{*this};
    PeerSender* m_peerSender = &m_hostPeers;
    HostSeriesPort m_seriesPort;
    HostStudyPort m_study{handle()};
    HostViewServices m_viewServices;
    SeriesAcquisition m_acquisition;
    CPerspective* m_view = nullptr;  // child widget, deleted first on destruction
};

}  // namespace v3d
