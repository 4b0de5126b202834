#pragma once
// The state and the frame pipeline of one 3D view, free of any window
// system: tools, render mode and renderers, image size and refinement,
// shading and its colour table, the render workspace and the 512 x 512
// display image, cut planes, segmentation values, presets and the
// preferences kept in the host profile. The window class derives from it
// and supplies painting, repaint requests and input.
//
// Background passes read the volume, the workspace and the snapshot taken
// when their render started. The volume, the camera and the cut planes are
// therefore changed only through changeVolume, changeCamera and
// changePlanes, which stop every pass first; elsewhere the view holds them
// read-only.

#include "render/CRaycaster.h"
#include "render/RenderHost.h"
#include "render/RenderWorkspace.h"
#include "render/math/Check.h"
#include "render/math/Vec3.h"
#include "view/CutPlaneSet.h"
#include "view/DisplayGeometry.h"
#include "view/OrientationGlyphs.h"
#include "view/Preferences.h"
#include "view/PresetTable.h"
#include "view/ViewServices.h"
#include "view/ViewTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace v3d {

class Camera;
class CVolume;
struct SeriesState;
class ViewCore;

// Makes the renderer of a render mode for a view (SSD, MIP, OPQ).
using RendererFactory = std::function<std::unique_ptr<CRaycaster>(int mode, ViewCore& view)>;

// What the view tells its window about an operation that could not be done
// (the window shows the message that goes with it).
enum class ViewNotice {
    CutPlaneLimitReached,
    NoSlotsForFactoryPresets,
    // A state the peers could not take (longer than they read): not sent.
    TooLongToShare,
    // A peer's text longer than this window reads: not applied.
    PeerTextTooLong,
    // Peers asked for more images than this window makes for them.
    PeerCapturesLimited,
};

class ViewCore : public RenderHost {
public:
    static constexpr int kImageSize = 512;
    static constexpr int kRowBytes = kImageSize * 3;

    ViewCore();
    ~ViewCore() override;
    ViewCore(const ViewCore&) = delete;
    ViewCore& operator=(const ViewCore&) = delete;

    // Links the view to its frame's series state, camera and volume, makes
    // the renderers and loads the preferences.
    void bind(SeriesState* frame, Camera* camera, CVolume* volume, const RendererFactory& makeRenderer,
              ViewServices& services);
    ViewServices& services() const { return *m_services; }
    bool isBound() const { return m_bound; }

    void loadSettings();
    void saveSettings();
    // The preferences with the camera's projection.
    Preferences preferences() const;

    // Pipeline
    void requestRender(bool pending);
    // Redraws the last image and its overlays; no new rays.
    void repaint() { invalidate(); }
    DisplayRect renderFrame();
    void composeImage();
    DisplayRect renderForExport(int width, int height, ProgressSink* progress);
    void buildShadeTable();
    // Switches renderers; the old one's background pass stops first, since
    // all renderers share the workspace.
    void setRenderMode(int mode);
    CRaycaster* currentRenderer() const { return m_pRenderers[static_cast<size_t>(m_iRenderMode)].get(); }
    // Applies window/level from the host to the volume and re-renders.
    void applyWindowLevel(int level, int width);
    // Stops every renderer's background pass.
    void stopRenderers();

    // The one door to what a render reads (see the top of this file).
    CVolume& changeVolume();
    Camera& changeCamera();
    CutPlaneSet& changePlanes();
    const CutPlaneSet& planes() const { return m_planes; }
    // The selection is the view's alone (no pass reads it): no door.
    void selectCutPlane(int index) {
        V3D_CHECK(index >= -1 && index < m_planes.m_iNumCutPlanes);
        m_planes.m_iSelectedCutPlane = index;
    }
    // Copies what the render about to start reads of the view.
    RenderSnapshot renderSnapshot() const override;

    // Display image access: pixel (x, y) at byte y * 1536 + x * 3, blue, green, red.
    void getPixel(int x, int y, uint8_t& red, uint8_t& green, uint8_t& blue) const;
    const uint8_t* imageBits() const { return m_imageBits.data(); }
    void resizeClient(int width, int height) { m_display.resize(width, height); }
    ClientPoint clientToImage(ClientPoint point) const {
        return m_display.clientToImage(point, m_iImageWidth, m_iImageHeight);
    }
    bool isInsideImage(ClientPoint point) const { return m_display.isInsideImage(point); }

    // Cut planes
    bool createCutPlaneFromLine();
    void deleteSelectedCutPlane() { changePlanes().deleteSelectedCutPlane(); }
    void deleteAllCutPlanes() { changePlanes().deleteAllCutPlanes(); }

    // Sets the reference frame (0 anterior, 1 caudal) and places the camera
    // on the volume's centre from twice the centre's distance.
    void applyReferenceFrame(int frame);

    // An operation the user asked for could not be done.
    virtual void notify(ViewNotice) {}
    // Busy indication around a long operation.
    virtual void setWaitCursor(bool) {}

    // Presets
    bool addFactoryPresets();
    // Appends the current isovalue and colouring under the name (its first
    // 127 characters); false when the table is full.
    bool addCurrentPreset(const std::string& name);
    void applyPreset(int index);

    // RenderHost
    void clipRay(int x, int y, const Vec3& origin, const Vec3& direction) override;
    void setPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) override;
    int interruptLevel() const override { return m_iInterruptLevel; }

    // Links; the camera and the volume read-only (see changeCamera, changeVolume).
    SeriesState* m_pFrame = nullptr;
    const Camera* m_pCamera = nullptr;
    const CVolume* m_pVolume = nullptr;

    // Tools and interaction
    int m_iCameraTool = TOOL_ORBIT;
    int m_iToolGroup = GROUP_IMAGE;
    int m_iRightTool = TOOL_ISOVALUE;
    int m_iDragMode = DRAG_NONE;
    bool m_bCutPlaneMode = false;
    int m_iReferenceFrame = 0;
    bool m_bAnchorReset = true;
    ClientPoint m_pressPoint;
    ClientPoint m_mousePoint;  // last position the mouse was seen at (overlays)
    int m_iProbeHU = kNoProbeValue;
    ClientPoint m_cutLineStart{-1, -1};
    ClientPoint m_cutLineEnd{-1, -1};
    std::vector<ClientPoint> m_roiScreenPoints = std::vector<ClientPoint>(1024);
    std::vector<Vec3> m_roiPoints = std::vector<Vec3>(1024);
    int m_iNumRoiPoints = 0;
    bool m_bRoiClosed = false;

    // Rendering
    int m_iRenderMode = RENDER_SSD;
    std::array<std::unique_ptr<CRaycaster>, kRenderModeCount> m_pRenderers;
    int m_iImageWidth = 256;
    int m_iImageHeight = 256;
    int m_iCoarseStep = 4;
    int m_iInterpolationLimit = 1;
    int m_iInterruptLevel = 2;
    bool m_bRenderPending = false;
    bool m_bFullRange = false;
    int m_iDiagnosticDisplay = -1;
    int m_iDiagnosticBuffer = 0;

    // Shading
    float m_fHue = 220.0f;
    float m_fSaturation = 0.5f;
    float m_fDiffuse = 0.4f;
    float m_fShine = 30.0f;
    uint8_t m_shadeTable[3][256] = {};

    // Work buffers and display image
    std::unique_ptr<RenderWorkspace> m_workspace;
    std::vector<uint8_t> m_imageBits;
    DisplayGeometry m_display;

    // Preferences and segmentation values (the camera keeps the projection).
    Preferences m_prefs;

    std::string m_segHistory;
    PresetTable m_presetTable;
    // A, R, L, P, F, H: drawn as the orientation figure.
    std::array<WireModel, 6> m_orientationGlyphs = makeOrientationGlyphs();

protected:
    // Window-system side: a repaint of the whole client area without erasing.
    virtual void invalidate() {}


private:
    void compositePass(int step);
    void tintAndOutline(int step);

    CutPlaneSet m_planes;
    Camera* m_camera = nullptr;
    CVolume* m_volume = nullptr;
    ViewServices* m_services = nullptr;
    bool m_bound = false;
};

}  // namespace v3d
