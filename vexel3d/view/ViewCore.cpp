#include "view/ViewCore.h"

#include "render/Camera.h"
#include "render/math/Mat3.h"
#include "view/ShadeTable.h"
#include "view/ViewTools.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include <algorithm>
#include <cmath>

namespace v3d {

ViewCore::ViewCore() : m_workspace(std::make_unique<RenderWorkspace>()), m_imageBits(kImageSize * kRowBytes, 0) {
    buildShadeTable();
}

ViewCore::~ViewCore() {
    if (m_bound) saveSettings();
    // Workers write the workspace: every pass ends before anything is freed.
    stopRenderers();
    for (auto& renderer : m_pRenderers) renderer.reset();
    m_workspace.reset();
    m_planes.deleteAllCutPlanes();
}

CVolume& ViewCore::changeVolume() {
    stopRenderers();
    return *m_volume;
}

Camera& ViewCore::changeCamera() {
    stopRenderers();
    return *m_camera;
}

CutPlaneSet& ViewCore::changePlanes() {
    stopRenderers();
    return m_planes;
}

RenderSnapshot ViewCore::renderSnapshot() const {
    RenderSnapshot s;
    s.fullRange = m_bFullRange;
    s.diagnosticDisplay = m_iDiagnosticDisplay;
    s.diagnosticBuffer = m_iDiagnosticBuffer;
    s.shadowsPerspective = m_prefs.shadowsPersp;
    s.shadowsParallel = m_prefs.shadowsPar;
    s.opaqueOnSurface = m_prefs.opqOnSsd;
    s.cutPlaneCount = m_planes.m_iNumCutPlanes;
    for (int i = 0; i < s.cutPlaneCount; ++i) {
        const CutPlane& plane = *m_planes.at(i);
        s.cutPlanes[static_cast<size_t>(i)] = {plane.point, plane.normal};
    }
    return s;
}

void ViewCore::bind(SeriesState* frame, Camera* camera, CVolume* volume, const RendererFactory& makeRenderer,
                    ViewServices& services) {
    m_pFrame = frame;
    m_pCamera = m_camera = camera;
    m_pVolume = m_volume = volume;
    m_services = &services;
    for (int mode = 0; mode < kRenderModeCount; ++mode) m_pRenderers[static_cast<size_t>(mode)] = makeRenderer(mode, *this);
    loadSettings();
    m_bound = true;
}

void ViewCore::loadSettings() {
    ProfileStore& profile = *m_services;
    m_prefs = loadPreferences(profile);
    if (m_camera) {
        Camera& camera = changeCamera();
        camera.perspective = m_prefs.perspective;
        camera.updateCornerRays();
    }
    m_presetTable.load(profile);
    if (profile.readBool("firsttime", true) && m_presetTable.m_iNumOfPresets == 0) {
        profile.writeBool("firsttime", false);
        m_presetTable.addFactoryPresets();
    }
}

Preferences ViewCore::preferences() const {
    Preferences p = m_prefs;
    p.perspective = m_pCamera && m_pCamera->perspective;
    return p;
}

void ViewCore::saveSettings() {
    ProfileStore& profile = *m_services;
    savePreferences(profile, preferences());
    m_presetTable.save(profile);
}

void ViewCore::requestRender(bool pending) {
    m_bRenderPending = pending;
    invalidate();
}

void ViewCore::stopRenderers() {
    for (auto& renderer : m_pRenderers)
        if (renderer) renderer->stopBackgroundPass();
}

void ViewCore::setRenderMode(int mode) {
    if (mode < 0 || mode >= kRenderModeCount) return;
    if (mode != m_iRenderMode && currentRenderer()) currentRenderer()->stopBackgroundPass();
    m_iRenderMode = mode;
    requestRender(true);
}

void ViewCore::applyWindowLevel(int level, int width) {
    if (!m_volume) return;
    changeVolume().setWindowLevel(level, width);
    requestRender(true);
}

void ViewCore::setPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    uint8_t* p = &m_imageBits[static_cast<size_t>(y * kRowBytes + x * 3)];
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

void ViewCore::getPixel(int x, int y, uint8_t& red, uint8_t& green, uint8_t& blue) const {
    V3D_CHECK(x >= 0 && x < kImageSize && y >= 0 && y < kImageSize);
    const uint8_t* p = &m_imageBits[static_cast<size_t>(y * kRowBytes + x * 3)];
    blue = p[0];
    green = p[1];
    red = p[2];
}

void ViewCore::buildShadeTable() { v3d::buildShadeTable(m_fHue, m_fSaturation, m_fDiffuse, m_fShine, m_shadeTable); }

DisplayRect ViewCore::renderFrame() {
    const DisplayRect rect{0, 0, m_iImageWidth, m_iImageHeight};
    if (!m_bRenderPending || !currentRenderer()) {
        composeImage();
        return rect;
    }
    // Shade and hue drags change colours only: no new rays.
    if (m_iDragMode != DRAG_SHADE && m_iDragMode != DRAG_HUE_SAT) {
        switch (m_iDragMode) {
        case DRAG_NONE: m_iInterruptLevel = 1; break;
        case DRAG_ORBIT: case DRAG_ROTATE: case DRAG_PAN: case DRAG_ISOVALUE: case DRAG_WINDOW_LEVEL: case DRAG_ZOOM:
        case DRAG_MOVE_ROLL: m_iInterruptLevel = 2; break;
        default: break;
        }
        currentRenderer()->render(m_iImageWidth, m_iImageHeight, m_iCoarseStep, m_iInterpolationLimit, nullptr);
    }
    composeImage();
    m_bRenderPending = false;
    return rect;
}

DisplayRect ViewCore::renderForExport(int width, int height, ProgressSink* progress) {
    width = std::clamp(width, 1, kImageSize);
    height = std::clamp(height, 1, kImageSize);
    m_iInterruptLevel = 1;
    m_bFullRange = true;
    currentRenderer()->render(width, height, 1, 1, progress);
    m_bFullRange = false;
    for (int x = 0; x < kImageSize; ++x)
        for (int y = 0; y < kImageSize; ++y) currentRenderer()->shadePixel(x, y);
    if (progress) progress->setPosition(100);
    return {0, 0, width, height};
}

void ViewCore::composeImage() {
    CRaycaster* renderer = currentRenderer();
    if (!renderer) return;
    const int step = std::max(1, static_cast<int>(renderer->currentStep));
    compositePass(step);
    tintAndOutline(step);
}

void ViewCore::compositePass(int step) {
    CRaycaster* renderer = currentRenderer();
    const int W = m_iImageWidth, H = m_iImageHeight;
    for (int x = 0; x < W; x += step)
        for (int y = 0; y < H; y += step) renderer->shadePixel(x, y);
    // Fill the gaps of the grid by halving: each new pixel is the mean of
    // the two pixels a half step away, which the level before has set. (The
    // pixels one away are not set yet at the coarser levels.) Past the last
    // grid column or row the near side stands in for the missing one.
    auto average = [this](int x, int y, int ax, int ay, int bx, int by) {
        uint8_t* p = &m_imageBits[static_cast<size_t>(y * kRowBytes + x * 3)];
        const uint8_t* a = &m_imageBits[static_cast<size_t>(ay * kRowBytes + ax * 3)];
        const uint8_t* b = &m_imageBits[static_cast<size_t>(by * kRowBytes + bx * 3)];
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(a[c] / 2 + b[c] / 2);
    };
    for (int g = step; g > 1;) {
        g /= 2;
        for (int x = g; x < W; x += 2 * g)
            for (int y = 0; y < H; y += 2 * g) average(x, y, x - g, y, x + g < W ? x + g : x - g, y);
        for (int x = 0; x < W; x += g)
            for (int y = g; y < H; y += 2 * g) average(x, y, x, y - g, x, y + g < H ? y + g : y - g);
    }
}

void ViewCore::tintAndOutline(int step) {
    const RenderWorkspace& ws = *m_workspace;
    const int W = m_iImageWidth, H = m_iImageHeight;
    const CutPlane* selected = m_bCutPlaneMode ? m_planes.selected() : nullptr;
    Vec3 planePoint, planeNormal;
    if (selected && m_pVolume) {
        planePoint = m_pVolume->axisMatrix * selected->point;
        planeNormal = normalised(m_pVolume->axisMatrix * selected->normal);
    }

    // Selection ranges (stored values) of the right-button tool.
    bool tintRange = false;
    int lo = 0, hi = 0;
    if (m_iToolGroup == GROUP_SELECTION && step == 1 && m_pVolume) {
        if (m_iRightTool == TOOL_SEG_RANGE) {
            tintRange = true;
            lo = m_pVolume->huToStored(m_prefs.segLow);
            hi = m_pVolume->huToStored(m_prefs.segHigh);
        } else if (m_iRightTool == TOOL_DENSITY_RANGE && m_iProbeHU != kNoProbeValue) {
            tintRange = true;
            lo = m_pVolume->huToStored(m_iProbeHU - m_prefs.segRad);
            hi = m_pVolume->huToStored(m_iProbeHU + m_prefs.segRad);
        }
    }
    const bool tintObject = m_iToolGroup == GROUP_SELECTION && step == 1 && m_iRightTool == TOOL_SELECT_OBJECT && m_pVolume;

    for (int x = 0; x < W; ++x) {
        for (int y = 0; y < H; ++y) {
            uint8_t* p = &m_imageBits[static_cast<size_t>(y * kRowBytes + x * 3)];  // blue, green, red
            const int v = ws.value[RenderWorkspace::wide(x, y)];
            if (v >= 0 && (tintObject || tintRange)) {
                bool tint = false;
                if (tintObject) {
                    if (m_iRenderMode == RENDER_SSD) {
                        tint = true;
                    } else if (v > m_pVolume->isoStored) {
                        p[2] = 0;
                        p[1] = static_cast<uint8_t>(p[1] / 2);
                        p[0] = static_cast<uint8_t>(std::min(p[0] + 16, 255));
                    }
                } else {
                    tint = lo < v && v < hi;
                }
                if (tint) {
                    p[2] = 0;
                    p[1] = static_cast<uint8_t>(std::min(p[1] / 2 + 8, 255));
                    p[0] = static_cast<uint8_t>(std::min(p[0] + 16, 255));
                }
            }

            if (m_prefs.wireframe && x < W - 1 && y < H - 1) {
                const int a = ws.entrySurface[RenderWorkspace::index(x, y)];
                const int b = ws.entrySurface[RenderWorkspace::index(x + 1, y)];
                const int c = ws.entrySurface[RenderWorkspace::index(x, y + 1)];
                if (!(a == b && b == c)) {
                    uint8_t r = 0, g = 128, bl = 64;
                    if (m_bCutPlaneMode) {
                        const int s = m_planes.m_iSelectedCutPlane;
                        if (a == s || b == s || c == s) {
                            r = 255, g = 0, bl = 0;
                        } else if (a >= 0 || b >= 0 || c >= 0) {
                            r = 196, g = 196, bl = 0;
                        }
                    }
                    p[0] = bl, p[1] = g, p[2] = r;
                }
            }

            if (!selected || !m_pVolume || !m_pCamera) continue;
            const int i = RenderWorkspace::index(x, y);
            if (ws.entrySurface[i] == m_planes.m_iSelectedCutPlane) continue;
            const float t = ws.selectedPlaneDistance[i];
            const float d = ws.depth[RenderWorkspace::wide(x - x % step, y - y % step)];
            if (!(t > 0.0f && (t < d || d < 0.0f))) continue;
            const Vec3 P = m_pCamera->rayOriginForPixel(x, W, y, H) + ws.rayDir[i] * t;
            const Vec3 M = m_pVolume->axisMatrix * P;
            const Vec3 centre = m_pVolume->center();
            const float R = 2.0f * length(centre);
            const float facing = dot(m_pCamera->getUnitView(), planeNormal);
            const float k = std::fabs(facing);
            const bool back = facing < 0.0f;
            float e = length(M - m_pCamera->localRayOriginForPixel(x, W, y, H));
            const float fromCentre = length(M - centre);
            if (fromCentre > R / 2.0f) e -= fromCentre - R / 2.0f;
            const float fade = 1.0f - std::min(e / (R * 1.2f), 1.0f);
            if (length(M - planePoint) >= R * 0.4f) continue;
            const float weights[3] = {back ? 0.0f : 0.1f, back ? 0.6f : 0.8f, back ? 0.8f : 0.6f};  // red, green, blue
            const int channelOf[3] = {2, 1, 0};
            for (int c = 0; c < 3; ++c) {
                const float value = k * weights[c] * 160.0f * fade + k * static_cast<float>(p[channelOf[c]]);
                p[channelOf[c]] = static_cast<uint8_t>(std::clamp(static_cast<int>(value), 0, 255));
            }
        }
    }
}

bool ViewCore::createCutPlaneFromLine() {
    if (!m_pCamera || !m_pVolume) return false;
    const ClientPoint end = clientToImage(m_cutLineEnd);
    const ClientPoint start = clientToImage(m_cutLineStart);
    const RenderWorkspace& ws = *m_workspace;
    const Vec3 P1 = m_pCamera->rayOriginForPixel(end.x, m_iImageWidth, end.y, m_iImageHeight);
    const Vec3 P2 = m_pCamera->rayOriginForPixel(start.x, m_iImageWidth, start.y, m_iImageHeight);
    const Vec3 D1 = ws.rayDir[RenderWorkspace::index(end.x, end.y)];
    const Vec3 D2 = ws.rayDir[RenderWorkspace::index(start.x, start.y)];
    const Vec3 S = P1 + D1 * 100.0f;
    const Vec3 T = P2 + D2 * 100.0f;
    const Vec3 u1 = normalised(S - P1);
    Vec3 u2 = S - T;
    // A line with both ends on one pixel spans no plane.
    if (length(u2) == 0.0f) return false;
    normalise(u2);
    Vec3 normal = cross(u1, u2);
    if (length(normal) < 1e-6f) return false;
    normalise(normal);
    if (m_planes.m_iNumCutPlanes >= CutPlaneSet::kMaxPlanes) {
        notify(ViewNotice::CutPlaneLimitReached);
        return false;
    }
    return changePlanes().add(*m_pVolume, m_pVolume->halfSize(), P1, normal);
}

void ViewCore::clipRay(int x, int y, const Vec3& origin, const Vec3& direction) {
    m_planes.clipRay(*m_pVolume, *m_workspace, m_bCutPlaneMode, x, y, origin, direction);
}

bool ViewCore::addFactoryPresets() {
    if (m_presetTable.addFactoryPresets()) return true;
    notify(ViewNotice::NoSlotsForFactoryPresets);
    return false;
}

bool ViewCore::addCurrentPreset(const std::string& name) {
    Preset preset;
    preset.setName(name);
    preset.iso = m_pVolume ? m_pVolume->storedToHU(m_pVolume->isoStored) : 0;
    preset.hue = m_fHue;
    preset.saturation = m_fSaturation;
    preset.diffuse = m_fDiffuse;
    preset.shine = m_fShine;
    return m_presetTable.add(preset);
}

void ViewCore::applyPreset(int index) {
    const Preset* preset = m_presetTable.at(index);
    if (!preset) return;
    if (m_volume) changeVolume().setIsoValue(preset->iso);
    m_fHue = preset->hue;
    m_fSaturation = preset->saturation;
    m_fDiffuse = preset->diffuse;
    m_fShine = preset->shine;
    buildShadeTable();
    requestRender(true);
}

void ViewCore::applyReferenceFrame(int frame) {
    if (!m_camera || !m_pVolume) return;
    m_iReferenceFrame = frame == 1 ? 1 : 0;
    Camera& camera = changeCamera();
    const Vec3 right(1, 0, 0);
    const Vec3 up = m_iReferenceFrame == 0 ? Vec3(0, 0, -1) : Vec3(0, 1, 0);
    const Vec3 view = m_iReferenceFrame == 0 ? Vec3(0, 1, 0) : Vec3(0, 0, 1);
    camera.setHomeAxes(right.x, right.y, right.z, up.x, up.y, up.z, view.x, view.y, view.z);
    camera.orientation = m_pVolume->getInverseAxisMatrix();
    camera.lookAlong(view);
    const Vec3 c = m_pVolume->center();
    camera.setPosition(c - view * (2.0f * length(c)));
}

}  // namespace v3d
