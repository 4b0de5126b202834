#include "render/CRaycaster.h"

#include "render/BoxTests.h"
#include "render/Camera.h"
#include "volume/CVolume.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace v3d {

namespace {

// A foreground pass over fewer pixels stays on the view's thread: handing
// it out would cost more than it saves.
constexpr int kParallelPixels = 4096;
// Rows per band of the ray set-up (the arrays are x-major: a band writes
// short runs of each column).
constexpr int kSetupBand = 8;
// Pieces per pool thread of a foreground pass: rays differ in cost.
constexpr int kPiecesPerThread = 8;

double threadMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

}  // namespace

CRaycaster::CRaycaster(RenderHost& view, const CVolume& vol, const Camera& cam, RenderWorkspace& ws, const uint8_t* shadeTable)
    : parentView(&view),
      volume(&vol),
      camera(&cam),
      workspace(&ws),
      redTable(shadeTable),
      greenTable(shadeTable + 256),
      blueTable(shadeTable + 512),
      pool(&RenderPool::shared()) {}

CRaycaster::~CRaycaster() { stopBackgroundPass(); }

int CRaycaster::refineRemaining() { return 1; }

void CRaycaster::stopBackgroundPass() {
    abortRequested = true;
    // The pass looks at the flag before every pixel: joining returns as soon
    // as it has ended, where a sleeping poll added up to its period to every
    // frame that interrupted one (each frame of a drag).
    if (worker.joinable()) worker.join();
    abortRequested = false;
}

bool CRaycaster::retraceWhenIdle(int x, int y) {
    if (busyCount.load() != 0) return false;
    if (worker.joinable()) worker.join();  // ended: collected, its writes seen
    retracePixel(x, y);
    return true;
}

void CRaycaster::beginRender(int w, int h) {
    stopBackgroundPass();
    snapshot = parentView->renderSnapshot();
    storeSize(w, h);
}

void CRaycaster::storeSize(int w, int h) {
    width = widthCopy = w;
    height = heightCopy = h;
    invWidth = 1.0f / static_cast<float>(w);
    invHeight = 1.0f / static_cast<float>(h);
}

Vec3 CRaycaster::pixelOrigin(int x, int y) const { return camera->rayOriginForPixel(x, width, y, height); }

void CRaycaster::setupRays(int step) {
    RenderWorkspace& ws = *workspace;
    leftSpan = camera->cornerRays[1][0] - camera->cornerRays[0][0];
    rightSpan = camera->cornerRays[1][1] - camera->cornerRays[0][1];
    leftRowStep = leftSpan * invHeight;
    rightRowStep = rightSpan * invHeight;
    leftRay = camera->cornerRays[0][0];
    rightRay = camera->cornerRays[0][1];
    // Each row's first ray and column step, summed row by row and then
    // column by column exactly as a row-by-row walk would, so that every
    // ray keeps its bits. The pixels are then set up column by column
    // within bands of rows: the arrays are x-major, and a row walk would
    // touch a new cache line in every array at every pixel. Each row's
    // column sums stay in one band, so the bands may run on any thread.
    const int rows = heightCopy > 0 ? heightCopy : 0;
    const int columns = widthCopy;
    std::vector<Vec3> rowRay(static_cast<size_t>(rows)), rowStep(static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        rowSpan = rightRay - leftRay;
        columnStep = rowSpan * invWidth;
        rowRay[static_cast<size_t>(y)] = leftRay;
        rowStep[static_cast<size_t>(y)] = columnStep;
        leftRay += leftRowStep;
        rightRay += rightRowStep;
    }
    auto band = [&](int y0, int y1) {
        for (int x = 0; x < columns; ++x) {
            // Directions first, clipping after: each clip then finds its
            // direction ready instead of waiting on a square root and a
            // division.
            for (int y = y0; y < y1; ++y) {
                const int i = RenderWorkspace::index(x, y);
                Vec3& ray = rowRay[static_cast<size_t>(y)];
                ws.rayDir[i] = normalised(ray);
                ws.rayStart[i] = camera->rayOriginForPixel(x, width, y, height);
                ws.stepCount[i] = 0;
                ws.sampleCount[i] = 0;
                ws.hitKind[i] = -1;
                ws.spare[i] = 0.0f;
                ws.done[RenderWorkspace::wide(x, y)] = 0;
                ray += rowStep[static_cast<size_t>(y)];
            }
            for (int y = y0; y < y1; ++y) {
                const int i = RenderWorkspace::index(x, y);
                parentView->clipRay(x, y, ws.rayStart[i], ws.rayDir[i]);
            }
        }
        // Casts row by row: neighbouring rays then read neighbouring voxels.
        for (int y = y0; y < y1; ++y)
            if (y % step == 0)
                for (int x = 0; x < columns; x += step) castFirstPass(x, y);
    };
    const int bands = (rows + kSetupBand - 1) / kSetupBand;
    if (rows * columns < kParallelPixels || pool->threads() == 1) {
        band(0, rows);
    } else {
        pool->run(bands, [&](int b) { band(b * kSetupBand, std::min(rows, (b + 1) * kSetupBand)); });
    }
    if (rows > 0) currentRay = rowRay[static_cast<size_t>(rows - 1)];
    if (rows > 0 && columns > 0) rayOrigin = camera->rayOriginForPixel(columns - 1, width, rows - 1, height);
}

void CRaycaster::forEachRow(int first, int stride, int end, int pixelsPerRow, const std::function<void(int)>& row) {
    const int rows = first < end ? (end - 1 - first) / stride + 1 : 0;
    if (rows <= 0) return;
    if (rows * pixelsPerRow < kParallelPixels || pool->threads() == 1) {
        for (int y = first; y < end; y += stride) row(y);
        return;
    }
    const int pieces = std::min(rows, pool->threads() * kPiecesPerThread);
    pool->run(pieces, [&](int piece) {
        const int r1 = rows * (piece + 1) / pieces;
        for (int r = rows * piece / pieces; r < r1; ++r) row(first + r * stride);
    });
}

Vec3 CRaycaster::refinementStart(int x, int y, int ax, int ay, int bx, int by) const {
    const RenderWorkspace& ws = *workspace;
    const float da = ws.depth[RenderWorkspace::wide(ax, ay)];
    const float db = ws.depth[RenderWorkspace::wide(bx, by)];
    const float d = da < db ? da : db;
    const int i = RenderWorkspace::index(x, y);
    return d > 0.0f ? ws.rayStart[i] + ws.rayDir[i] * d : ws.rayStart[i];
}

bool CRaycaster::interrupted(int step) {
    return parentView->interruptLevel() >= step && parentView->mouseInputWaiting();
}

int CRaycaster::progressiveRender(int w, int h, int coarse, int limit, ProgressSink* progress) {
    beginRender(w, h);
    interpolationLimit = limit;
    if (coarse < 1) coarse = 1;
    renderCoarseStep = coarse;
    setupRays(coarse);
    if (progress) progress->setPosition(0);

    int step = coarse;
    for (;;) {
        currentStep = step;
        if (step <= 1) break;
        if (interrupted(step)) break;
        step /= 2;
        // Horizontal gaps between grid pixels of the coarser step, then
        // vertical ones. A gap pixel reads only its two neighbours, which
        // the coarser grid or the horizontal gaps have set: the rows of one
        // set may run in any order.
        const int s = step;
        forEachRow(0, 2 * s, height, (width + s) / (2 * s), [this, s](int y) {
            for (int x = s; x < width; x += 2 * s) refinePixel(x, y, x - s, y, x + s, y, s);
        });
        forEachRow(s, 2 * s, height, (width + s - 1) / s, [this, s](int y) {
            for (int x = 0; x < width; x += s) refinePixel(x, y, x, y - s, x, y + s, s);
        });
    }
    hasImage = true;
    coarseStep = coarse;
    if (coarse > 1) startBackgroundPass();
    return 0;
}

void CRaycaster::startBackgroundPass() {
    if (worker.joinable()) worker.join();  // an earlier pass has ended: collect it
    ++busyCount;
    worker = std::thread([this] { backgroundPass(); });
}

void CRaycaster::backgroundPass() {
    if (!abortRequested && refineRemaining() == 0) parentView->invalidateFromWorker();
    --busyCount;
}

int CRaycaster::castSkippedPixels() {
    const int step = coarseStep;
    const int w = width, h = height;
    const int tilesX = (w + kTileSize - 1) / kTileSize;
    const int tilesY = (h + kTileSize - 1) / kTileSize;
    const int tiles = tilesX * tilesY;
    if (tileCostLog) tileCostLog->assign(static_cast<size_t>(tiles), 0.0);
    std::atomic<bool> stopped{false};
    // Each tile casts only its own pixels, row by row.
    pool->run(tiles, [&](int tile) {
        const double start = tileCostLog ? threadMicros() : 0.0;
        const int x0 = (tile % tilesX) * kTileSize, y0 = (tile / tilesX) * kTileSize;
        const int x1 = std::min(w, x0 + kTileSize), y1 = std::min(h, y0 + kTileSize);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (abortRequested) {
                    stopped = true;
                    return;
                }
                if (x % step > 0 || y % step > 0) castExact(x, y);
            }
        }
        if (tileCostLog) (*tileCostLog)[static_cast<size_t>(tile)] = threadMicros() - start;
    });
    if (stopped) return 1;
    currentStep = 1;
    return 0;
}

bool CRaycaster::diagnosticColour(int x, int y, int mode, int stepSaturation, int sampleSaturation) {
    const int i = RenderWorkspace::index(x, y);
    switch (mode) {
    case 0: {
        const int c = workspace->stepCount[i];
        const uint8_t g = c >= stepSaturation ? 255 : (c < 1 ? 1 : static_cast<uint8_t>(c));
        parentView->setPixel(x, y, g, g, g);
        return true;
    }
    case 1: {
        static const uint8_t colours[6][3] = {{1, 1, 1}, {255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}};
        const int n = workspace->sampleCount[i];
        if (n >= sampleSaturation || n < 0) parentView->setPixel(x, y, 255, 255, 255);
        else parentView->setPixel(x, y, colours[n][0], colours[n][1], colours[n][2]);
        return true;
    }
    case 2: {
        static const uint8_t colours[5][3] = {{1, 1, 1}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        const int k = workspace->hitKind[i] + 1;
        if (k >= 0 && k < 5) parentView->setPixel(x, y, colours[k][0], colours[k][1], colours[k][2]);
        return true;
    }
    default:
        return false;
    }
}

bool CRaycaster::placeOnSegment(int i, Vec3& P, const Vec3& O, float& dist) const {
    const RenderWorkspace& ws = *workspace;
    const float e = ws.entryDistance[i];
    dist = length(P - O);
    const bool startsInside = inside(*volume, P);
    if (dist < e) {
        P = ws.entryPoint[i];
        dist = e;
    } else if (!startsInside) {
        P = ws.exitPoint[i];
        dist = ws.exitDistance[i];
    }
    return startsInside;
}

void CRaycaster::shadeWindowed(int x, int y) {
    const int w = RenderWorkspace::wide(x, y);
    if (workspace->depth[w] == RenderWorkspace::kMissDepth) {
        parentView->setPixel(x, y, 0, 0, 0);
        return;
    }
    const uint8_t g = windowGrey(workspace->value[w], volume->windowLowStored, volume->windowHighStored);
    parentView->setPixel(x, y, g, g, g);
}

}  // namespace v3d
