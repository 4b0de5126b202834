#include "StateDifferential.h"

#include "QuietWindow.h"
#include "RecordingViewServices.h"
#include "collab/CaptureRecord.h"
#include "collab/PeerState.h"
#include "collab/SegHistoryReplay.h"
#include "collab/SessionText.h"
#include "collab/StateText.h"
#include "interact/ExportRun.h"
#include "interact/ViewDrag.h"
#include "interact/ViewInput.h"
#include "interact/ViewWindow.h"
#include "interact/WheelSteps.h"
#include "render/Camera.h"
#include "view/RendererRegistry.h"
#include "view/ViewCommands.h"
#include "view/ViewCore.h"
#include "view/ViewSegmentation.h"
#include "view/ViewToolCommands.h"
#include "volume/CVolume.h"
#include "volume/SeriesState.h"

#include "collab/MergedState.h"
#include "HeadPhantom.h"

#include <algorithm>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

using namespace v3d;

DiffCounts& diffCounts() {
    static DiffCounts counts;
    return counts;
}

DiffVolume makeBallVolume(int size) {
    DiffVolume v;
    v.sizeX = v.sizeY = v.sizeZ = size;
    v.voxels.assign(static_cast<size_t>(size) * size * size, 0);
    const float c = (size - 1) / 2.0f;
    const float r = size * 0.3f;
    for (int z = 0; z < size; ++z)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float d = std::sqrt((x - c) * (x - c) + (y - c) * (y - c) + (z - c) * (z - c));
                const float dc = std::sqrt((x - c - size / 8.0f) * (x - c - size / 8.0f) + (y - c) * (y - c) +
                                           (z - c + size / 12.0f) * (z - c + size / 12.0f));
                uint16_t value = d < r ? 1324 : 0;
                if (dc < size / 10.0f) value = 2024;
                // A slab below the ball stands for a table: a second object.
                if (y >= size - 8 && y < size - 5 && x > 3 && x < size - 4) value = 1124;
                v.voxels[static_cast<size_t>((z * size + y) * size + x)] = value;
            }
    return v;
}

DiffVolume makeHeadPhantomVolume() {
    DiffVolume v;
    v.sizeX = v.sizeY = 80;
    v.sizeZ = 40;
    v.spacingX = v.spacingY = 2.9f;
    v.spacingZ = 3.0f;
    const HeadPhantom phantom(v.spacingX, v.spacingY, v.spacingZ);
    v.voxels.resize(static_cast<size_t>(v.sizeX) * v.sizeY * v.sizeZ);
    size_t i = 0;
    for (int z = 0; z < v.sizeZ; ++z)
        for (int y = 0; y < v.sizeY; ++y)
            for (int x = 0; x < v.sizeX; ++x) {
                const double hu = phantom.hu((x - (v.sizeX - 1) / 2.0) * v.spacingX,
                                             (y - (v.sizeY - 1) / 2.0) * v.spacingY,
                                             (z - (v.sizeZ - 1) / 2.0) * v.spacingZ);
                v.voxels[i++] = static_cast<uint16_t>(std::clamp(hu + 1024.0, 0.0, 4095.0));
            }
    return v;
}

bool diffVolumeNamed(const std::string& name, DiffVolume& volume) {
    if (name == "ball") volume = makeBallVolume();
    else if (name == "phantom") volume = makeHeadPhantomVolume();
    else return false;
    return true;
}

namespace {

constexpr int kClient = QuietWindow::kClient;
constexpr int kStandardImage = 256;

class PeerView : public ViewCore {
public:
    bool mouseInputWaiting() override { return false; }
    void invalidateFromWorker() override {}
};

// Captures a peer asks for: counted, nothing written.
struct CountingActions : PeerStateActions {
    void captureForPeer(const PeerCapture&) override { ++captures; }
    void quickCapture() override { ++captures; }
    void continueSegHistory(const std::string& history) override { continued = history; }
    int captures = 0;
    std::string continued;
};

// One window: its volume, camera, frame state and view.
struct Peer {
    std::vector<uint16_t> voxels;  // the host's block: each window has its own
    CVolume volume;
    Camera camera{75.0f};
    SeriesState series;
    RecordingViewServices services;
    PeerView view;
    CaptureRecord capture;
    CountingActions actions;
    QuietWindow window;
    WheelSteps wheelSteps;

    explicit Peer(const DiffVolume& v) : voxels(v.voxels) {
        volume.build(v.sizeX, v.sizeY, v.sizeZ, voxels.data(), nullptr, v.spacingX, v.spacingY, v.spacingZ,
                     Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1));
        volume.classify(0, 4095, -1024.0f, 1.0f);
        series.m_bHasSeries = 1;
        series.m_bAllLoaded = true;
        series.completedFraction = 1.0;
        series.imageIds = {"1.2.826.0.1.9.1", "1.2.826.0.1.9.2"};
        series.firstImageId = series.imageIds.front();
        view.bind(&series, &camera, &volume, makeStandardRenderer, services);
        view.resizeClient(kClient, kClient);
        view.applyReferenceFrame(0);
    }
    ~Peer() { view.stopRenderers(); }

    void renderAndWait() {
        view.m_bRenderPending = true;
        view.m_iInterruptLevel = 1;
        view.renderFrame();
        for (auto& r : view.m_pRenderers)
            while (r && r->busyCount > 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        view.composeImage();  // the refined picture, as the worker's repaint shows it
    }
    // What a window loading its series anew does to the view: the mask
    // classified afresh, no planes, the reference frame's pose.
    void reload() {
        view.changeVolume().classify(0, 4095, -1024.0f, 1.0f);
        view.m_segHistory.clear();
        view.deleteAllCutPlanes();
        view.applyReferenceFrame(0);
    }
    // As the window does: the history goes on in batches until it is all in.
    void apply(const std::string& text) {
        applyPeerState(view, capture, actions, text);
        while (!actions.continued.empty()) {
            const std::string history = std::move(actions.continued);
            actions.continued.clear();
            if (applySegHistory(view, history).cutOff) actions.continued = history;
        }
    }
};

// What A does: its actions send what the window would send.
class Driver {
public:
    Driver(Peer& a, std::function<void(const std::string&)> send) : m_a(a), m_send(std::move(send)) {}

    void run(const DiffAction& action);
    // Called as each image is captured (the state it carries is A's now).
    std::function<void()> onCapture;

private:
    void send(int mask) {
        if (mask <= 0) return;
        m_send(std::string(kStateMarkerLine) + buildStateText(m_a.view, m_a.capture, mask));
    }
    ClientPoint at(int x, int y) const { return {20 + ((x % 360) + 360) % 360, 20 + ((y % 360) + 360) % 360}; }
    void drag(bool right, ClientPoint from, int dx, int dy, int flags);
    void capture(int width);

    Peer& m_a;
    std::function<void(const std::string&)> m_send;
    int m_captures = 0;
};

// The commands of the toolbars and the context menu.
const int kCommands[] = {ID_ROTATE_CAMERA, ID_ORBIT_CAMERA, ID_STRAFE_CAMERA, ID_CREATE_CUTPLANE, ID_SELECT_CUTPLANE,
                         ID_HUE_SATURATION, ID_SHADE, ID_MOVE_CUTPLANE, ID_DELETE_CUTPLANE, ID_SELECT_OBJECT,
                         ID_SELECT_ROI, ID_SELECT_DENSITY, ID_RESET_VIEW, ID_RESET_CUTPLANES, ID_RESET_SEGMENTATION,
                         ID_RESET_SHADING, ID_RENDER_MIP, ID_RENDER_SSD, ID_RENDER_OPQ, ID_PARALLEL, ID_PERSPECTIVE,
                         ID_ISOVALUE, ID_MOVE_ROLL_CAMERA, ID_WINDOW_LEVEL, CMD_ANTERIOR, CMD_CAUDAL};
constexpr int kCommandCount = sizeof kCommands / sizeof kCommands[0];
const int kKeys[] = {KEY_PAGE_UP, KEY_PAGE_DOWN, KEY_END, KEY_HOME, KEY_LEFT, KEY_UP, KEY_RIGHT, KEY_DOWN};
constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];

enum Kind : int {
    kCommand,       // a: command index
    kLeftDrag,      // a, b: start; c, d: move; flags from (a + b) bits
    kRightDrag,     // as kLeftDrag, with the right button
    kWheel,         // a: notches (signed)
    kKey,           // a: key index; b: flags; c: repeat (15 when a multiple of 3)
    kDoubleClick,   // a, b: point; c: shift
    kOutline,       // a, b: centre; c: radius; d: shift
    kPreset,        // a: preset index
    kRotation,      // a: degrees (multiple of 9); b: axis
    kQuickCapture,  // nothing
    kMiddle,        // cycles the right tool
    kHover,         // a, b: point
    kImportMask,    // a, b, c: ball centre; d: radius, odd: the box from the voxels
    kUndo,          // the last segmentation step undone
    kKindCount
};

void Driver::drag(bool right, ClientPoint from, int dx, int dy, int flags) {
    ViewCore& v = m_a.view;
    const int button = right ? MOUSE_RIGHT : MOUSE_LEFT;
    send(right ? rightPress(v, from) : leftPress(v, from));
    for (int i = 1; i <= 4; ++i) {
        m_a.renderAndWait();
        send(mouseMove(v, m_a.window, {from.x + dx * i / 4, from.y + dy * i / 4}, button | flags));
    }
    send(right ? rightRelease(v, m_a.window, flags) : leftRelease(v, m_a.window));
}

void Driver::capture(int width) {
    CaptureRecord& c = m_a.capture;
    char uid[64];
    std::snprintf(uid, sizeof uid, "1.2.826.0.1.7.%d", ++m_captures);
    if (c.captureSeriesUid.empty()) c.captureSeriesUid = std::string(uid) + ".0";
    c.lastCaptureSopUid = uid;
    c.lastCaptureWidth = c.lastCaptureHeight = width;
    if (onCapture) onCapture();
    send(CHANGE_CAMERA_VECTORS | CHANGE_CAPTURE);
}

void Driver::run(const DiffAction& act) {
    ViewCore& v = m_a.view;
    m_a.renderAndWait();
    switch (act.kind) {
    case kCommand: send(runToolCommand(v, kCommands[((act.a % kCommandCount) + kCommandCount) % kCommandCount])); break;
    case kLeftDrag:
    case kRightDrag: {
        const int flags = ((act.a + act.b) & 3) == 1 ? MOUSE_SHIFT : ((act.a + act.b) & 3) == 2 ? MOUSE_CTRL : 0;
        drag(act.kind == kRightDrag, at(act.a, act.b), act.c % 90, act.d % 90, flags);
        break;
    }
    case kWheel:
        for (int i = 0; i < std::abs(act.a % 4) + 1; ++i) send(wheel(v, m_a.wheelSteps, act.a < 0 ? -120 : 120));
        break;
    case kKey:
        // A held key repeats: fifteen arrow steps orbit by exactly 90 degrees.
        send(navigationKey(v, kKeys[((act.a % kKeyCount) + kKeyCount) % kKeyCount], act.c % 3 == 0 ? 15 : 1,
                           MOUSE_CTRL | ((act.b & 1) ? MOUSE_SHIFT : 0)));
        break;
    case kDoubleClick: {
        const ClientPoint p = at(act.a, act.b);
        v.m_pressPoint = p;
        if (v.m_iToolGroup != GROUP_CUT_PLANES && v.m_iToolGroup != GROUP_SELECTION) {
            capture(256);
            break;
        }
        send(doubleClickPick(v, p, (act.c & 1) ? MOUSE_SHIFT : 0));
        break;
    }
    case kOutline: {
        send(runToolCommand(v, ID_SELECT_ROI));
        if (v.m_pCamera->perspective) send(runToolCommand(v, ID_PARALLEL));
        m_a.renderAndWait();
        const ClientPoint c = at(act.a, act.b);
        const float r = 10.0f + static_cast<float>(std::abs(act.c) % 150);
        const ClientPoint first{c.x + static_cast<int>(r), c.y};
        send(rightPress(v, first));
        for (int i = 1; i < 24; ++i) {
            const float t = 6.2831853f * static_cast<float>(i) / 24.0f;
            send(mouseMove(v, m_a.window,
                           {c.x + static_cast<int>(std::lround(r * std::cos(t))),
                            c.y + static_cast<int>(std::lround(r * std::sin(t)))},
                           MOUSE_RIGHT));
        }
        send(rightRelease(v, m_a.window, (act.d & 1) ? MOUSE_SHIFT : 0));
        break;
    }
    case kPreset:
        if (v.m_presetTable.m_iNumOfPresets == 0) v.addFactoryPresets();
        v.applyPreset(std::abs(act.a) % v.m_presetTable.m_iNumOfPresets);
        send(CHANGE_CAMERA);
        break;
    case kRotation: {
        struct Steps : ExportSteps {
            Driver& d;
            explicit Steps(Driver& driver) : d(driver) {}
            void beginImage(int, int) override {}
            void render(int, int) override {}
            void capture(int width, int) override { d.capture(width); }
            bool cancelled() override { return false; }
        } steps(*this);
        ExportOptions options;
        options.width = options.height = 64;
        options.rotation = 9 * (1 + std::abs(act.a) % 20);
        options.step = 9 * (1 + std::abs(act.a / 20) % 5);
        options.axis = 1 + (std::abs(act.b) & 1);
        runExport(v, m_a.capture, options, steps);
        send(exportClosingMask());
        break;
    }
    case kQuickCapture: capture(256); break;
    case kMiddle: send(middlePress(v, at(act.a, act.b))); break;
    case kHover: send(mouseMove(v, m_a.window, at(act.a, act.b), 0)); break;
    case kImportMask: {
        // What stays visible, cut down to a ball: a segmentation made elsewhere.
        const CVolume& vol = *v.m_pVolume;
        const int cx = std::abs(act.a) % vol.sizeX, cy = std::abs(act.b) % vol.sizeY, cz = std::abs(act.c) % vol.sizeZ;
        const int r = 4 + std::abs(act.d) % 24;
        std::vector<uint8_t> kept(size_t(vol.sizeX) * size_t(vol.sizeY) * size_t(vol.sizeZ));
        size_t i = 0;
        for (int z = 0; z < vol.sizeZ; ++z)
            for (int y = 0; y < vol.sizeY; ++y)
                for (int x = 0; x < vol.sizeX; ++x, ++i)
                    kept[i] = (vol.cellMask[z][y][x] & CVolume::kKeptBit) &&
                              (x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r;
        const ClipBox given{float(cx - r), float(cx + r) + 0.25f, float(cy - r), float(cy + r), float(cz - r), float(cz + r)};
        if (importKeptMask(v, kept.data(), kept.size(), (act.d & 1) ? nullptr : &given) == MaskImportStatus::Ok) {
            v.requestRender(true);
            send(CHANGE_SEGMENTATION);
        }
        break;
    }
    case kUndo:
        if (undoLastSegOperation(v)) {
            v.requestRender(true);
            send(CHANGE_SEGMENTATION);
        }
        break;
    default: break;
    }
    m_a.renderAndWait();
}

// Differences between A and X, empty when none.
std::string compareState(Peer& a, Peer& x) {
    const std::string ta = buildStateText(a.view, a.capture, kSavedStateMask);
    const std::string tx = buildStateText(x.view, x.capture, kSavedStateMask);
    if (ta != tx) {
        // Name the first line that differs.
        std::istringstream sa(ta), sx(tx);
        std::string la, lx;
        while (std::getline(sa, la) && std::getline(sx, lx))
            if (la != lx) return "state line: A \"" + la.substr(0, 200) + "\" other \"" + lx.substr(0, 200) + "\"";
        return "state text lengths " + std::to_string(ta.size()) + " / " + std::to_string(tx.size());
    }
    const CVolume& va = *a.view.m_pVolume;
    const CVolume& vx = *x.view.m_pVolume;
    const size_t perSlice = static_cast<size_t>(va.sizeX) * va.sizeY;
    long differing = 0;
    for (int z = 0; z < va.sizeZ; ++z)
        for (size_t i = 0; i < perSlice; ++i)
            if ((va.maskSlices[z][i] & 0x80) != (vx.maskSlices[z][i] & 0x80)) ++differing;
    if (differing) return std::to_string(differing) + " voxels kept differently";
    for (int i = 0; i < 6; ++i)
        if (std::memcmp(&va.boundaryPoints[i], &vx.boundaryPoints[i], sizeof(Vec3)) != 0)
            return "clip box face " + std::to_string(i);
    return std::string();
}

// The refined picture at the standard pose (the camera put back after).
std::vector<uint8_t> standardPicture(Peer& p, const Camera& standard) {
    const Camera saved = *p.view.m_pCamera;
    p.view.changeCamera() = standard;
    const int w = p.view.m_iImageWidth, h = p.view.m_iImageHeight;
    p.view.m_iImageWidth = p.view.m_iImageHeight = kStandardImage;
    p.renderAndWait();
    std::vector<uint8_t> bits(p.view.imageBits(), p.view.imageBits() + ViewCore::kRowBytes * ViewCore::kImageSize);
    p.view.changeCamera() = saved;
    p.view.m_iImageWidth = w;
    p.view.m_iImageHeight = h;
    return bits;
}

std::string comparePictures(Peer& a, Peer& x, const Camera& standard) {
    const std::vector<uint8_t> pa = standardPicture(a, standard), px = standardPicture(x, standard);
    long differing = 0;
    for (size_t i = 0; i < pa.size(); i += 3)
        if (std::memcmp(&pa[i], &px[i], 3) != 0) ++differing;
    return differing ? std::to_string(differing) + " pixels differ at the standard pose" : std::string();
}

}  // namespace

std::string formatSequence(const DiffSequence& actions) {
    std::string text;
    for (const DiffAction& a : actions) {
        char item[96];
        std::snprintf(item, sizeof item, "%d:%d,%d,%d,%d;", a.kind, a.a, a.b, a.c, a.d);
        text += item;
    }
    return text;
}

bool parseSequence(const std::string& text, DiffSequence& actions) {
    actions.clear();
    size_t at = 0;
    while (at < text.size()) {
        DiffAction a;
        int used = 0;
        if (std::sscanf(text.c_str() + at, "%d:%d,%d,%d,%d;%n", &a.kind, &a.a, &a.b, &a.c, &a.d, &used) != 5 ||
            used == 0 || a.kind < 0 || a.kind >= kKindCount)
            return false;
        actions.push_back(a);
        at += static_cast<size_t>(used);
    }
    return true;
}

DiffSequence randomSequence(uint32_t seed, int length) {
    std::mt19937 rng(seed);
    // Weights: segmentation and camera work most often, as users do.
    const int weights[kKindCount] = {6, 6, 6, 2, 2, 5, 4, 1, 1, 1, 1, 1, 2, 3};
    std::discrete_distribution<int> kind(std::begin(weights), std::end(weights));
    std::uniform_int_distribution<int> any(-1000, 1000);
    DiffSequence actions;
    for (int i = 0; i < length; ++i) {
        DiffAction a;
        a.kind = kind(rng);
        a.a = any(rng);
        a.b = any(rng);
        a.c = any(rng);
        a.d = any(rng);
        if (a.kind == kDoubleClick || a.kind == kOutline) {
            // Near the middle, where the objects are.
            a.a = 140 + std::abs(a.a) % 80;
            a.b = 140 + std::abs(a.b) % 80;
        }
        actions.push_back(a);
    }
    return actions;
}

DiffFailure runSequence(const DiffVolume& volume, const DiffSequence& actions, const DiffOptions& options) {
    DiffFailure failure;
    Peer a(volume);
    const Camera standard = *a.view.m_pCamera;
    Peer c(volume);
    quarvia::MergedState merged(size_t(16) << 20);
    Driver driver(a, [&](const std::string& message) {
        ++diffCounts().messages;
        c.apply(message);
        merged.take(message);
    });
    auto fail = [&](int step, const char* road, const std::string& what) {
        failure.failed = true;
        failure.step = step;
        failure.road = road;
        failure.what = what;
        return failure;
    };
    // The dropped-capture road: each captured image's state, restored in a
    // fresh view, against A as it was when the image was made (a rotation
    // series' images among them).
    std::string captureWhat;
    driver.onCapture = [&] {
        if (!captureWhat.empty()) return;
        const std::string carried = buildSessionText(true, a.view, a.series, a.capture, GroupLocation());
        Peer dropped(volume);
        dropped.apply(carried);
        captureWhat = compareState(a, dropped);
    };
    for (size_t i = 0; i < actions.size(); ++i) {
        const int step = static_cast<int>(i);
        driver.run(actions[i]);
        ++diffCounts().steps;
        if (!captureWhat.empty()) return fail(step, "capture", captureWhat);
        const bool pictures = (step + 1) % options.pictureEvery == 0 || i + 1 == actions.size();

        // The saved-state road: A's text, and the same text written again by a restored view.
        const GroupLocation nowhere;
        const std::string saved = buildSessionText(true, a.view, a.series, a.capture, nowhere);
        Peer b(volume);
        b.apply(saved);
        std::string what = compareState(a, b);
        if (what.empty() && pictures) what = comparePictures(a, b, standard);
        if (!what.empty()) return fail(step, "saved", what);
        const std::string again = buildSessionText(true, b.view, b.series, b.capture, nowhere);
        if (again != saved) return fail(step, "text", "a restored view writes another text");

        what = compareState(a, c);
        if (what.empty() && pictures) what = comparePictures(a, c, standard);
        if (!what.empty()) return fail(step, "peer", what);

        {  // a late joiner, or a peer whose window was made anew
            Peer d(volume);
            d.apply(merged.text());
            // Its window opened on the series tells A which images it shows
            // (a second image of its panel among them).
            const std::vector<std::string> panel = {d.series.imageIds.back(), d.series.imageIds.front()};
            if (startupListNeedsLoad(panel, a.series.imageIds)) a.reload();
            what = compareState(a, d);
            if (what.empty() && pictures) what = comparePictures(a, d, standard);
            if (!what.empty()) return fail(step, "joiner", what);
        }
    }
    return failure;
}

DiffSequence shrinkSequence(const DiffVolume& volume, const DiffSequence& failing, const DiffOptions& options) {
    DiffSequence best = failing;
    const DiffFailure first = runSequence(volume, best, options);
    if (!first.failed) return best;
    best.resize(static_cast<size_t>(first.step) + 1);
    for (size_t i = best.size(); i-- > 0;) {
        DiffSequence shorter = best;
        shorter.erase(shorter.begin() + static_cast<long>(i));
        if (shorter.empty()) continue;
        const DiffFailure f = runSequence(volume, shorter, options);
        if (f.failed) {
            shorter.resize(static_cast<size_t>(f.step) + 1);
            best = shorter;
            if (i > best.size()) i = best.size();
        }
    }
    return best;
}
