// Prints a hash of the display image and of the per-pixel depth and value
// arrays for a fixed set of scenes, one line each. Run it before and after a
// change to the renderers: equal lines mean equal pixels.

#include "RenderScene.h"
#include "SyntheticCT.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

uint64_t fnv(uint64_t h, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

CTBlock makeBlock(int x, int y, int z, float sx, float sy, float sz) {
    CTBlock b;
    b.sizeX = x, b.sizeY = y, b.sizeZ = z;
    b.spacingX = sx, b.spacingY = sy, b.spacingZ = sz;
    b.values = makeSyntheticCT(x, y, z);
    return b;
}

struct Scene {
    std::string name;
    CTBlock* block;
    int mode;
    int size;
    bool perspective;
    std::function<void(RenderScene&)> setup;
};

// Where to write each scene's image and depths for a closer comparison
// (first argument), or empty.
std::string g_dumpFolder;

void report(const std::string& name, RenderScene& s) {
    const RenderWorkspace& ws = *s.view.m_workspace;
    const uint64_t basis = 14695981039346656037ull;
    const uint64_t image = fnv(basis, s.view.imageBits(), size_t(ViewCore::kImageSize) * ViewCore::kRowBytes);
    uint64_t depth = basis, value = basis;
    for (int x = 0; x < s.view.m_iImageWidth; ++x)
        for (int y = 0; y < s.view.m_iImageHeight; ++y) {
            const int w = RenderWorkspace::wide(x, y);
            depth = fnv(depth, &ws.depth[w], sizeof(float));
            value = fnv(value, &ws.value[w], sizeof(int32_t));
        }
    if (!g_dumpFolder.empty()) {
        std::string file = name;
        for (char& c : file)
            if (c == '/') c = '_';
        if (FILE* f = std::fopen((g_dumpFolder + "/" + file + ".bgr").c_str(), "wb")) {
            std::fwrite(s.view.imageBits(), 1, size_t(ViewCore::kImageSize) * ViewCore::kRowBytes, f);
            std::fclose(f);
        }
        if (FILE* f = std::fopen((g_dumpFolder + "/" + file + ".depth").c_str(), "wb")) {
            for (int x = 0; x < s.view.m_iImageWidth; ++x)
                for (int y = 0; y < s.view.m_iImageHeight; ++y)
                    std::fwrite(&ws.depth[RenderWorkspace::wide(x, y)], sizeof(float), 1, f);
            std::fclose(f);
        }
    }
    std::printf("%-28s image %016llx depth %016llx value %016llx\n", name.c_str(),
                static_cast<unsigned long long>(image), static_cast<unsigned long long>(depth),
                static_cast<unsigned long long>(value));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_dumpFolder = argv[1];
    CTBlock iso = makeBlock(128, 128, 96, 1.0f, 1.0f, 1.0f);
    CTBlock thick = makeBlock(128, 128, 40, 0.8f, 0.8f, 5.0f);
    auto wedge = [](RenderScene& s) {
        const Vec3 c = s.volume.halfSize();
        s.view.changePlanes().add(s.volume, c, c + Vec3(10, 0, 0), normalised(Vec3(1, -1, 0)));
        s.view.changePlanes().add(s.volume, c, c + Vec3(-10, 0, 0), normalised(Vec3(-1, -1, 0)));
    };
    auto orbit = [](RenderScene& s) { s.camera.orbit(1, 35.0f, s.volume.center(), true); s.camera.orbit(2, -20.0f, s.volume.center(), true); };
    auto shadows = [](RenderScene& s) { s.view.m_prefs.shadowsPar = true; };
    const std::vector<Scene> scenes = {
        {"ssd-parallel-256", &iso, RENDER_SSD, 256, false, nullptr},
        {"ssd-parallel-512", &iso, RENDER_SSD, 512, false, nullptr},
        {"ssd-perspective-256", &iso, RENDER_SSD, 256, true, nullptr},
        {"ssd-orbit-256", &iso, RENDER_SSD, 256, false, orbit},
        {"ssd-wedge-256", &iso, RENDER_SSD, 256, false, wedge},
        {"ssd-wedge-orbit-256", &iso, RENDER_SSD, 256, false, [&](RenderScene& s) { orbit(s); wedge(s); }},
        {"ssd-thick-shadow-256", &thick, RENDER_SSD, 256, false, shadows},
        {"ssd-thick-persp-256", &thick, RENDER_SSD, 256, true, nullptr},
        {"mip-parallel-256", &iso, RENDER_MIP, 256, false, nullptr},
        {"mip-orbit-512", &iso, RENDER_MIP, 512, false, orbit},
        {"mip-wedge-256", &iso, RENDER_MIP, 256, false, wedge},
        {"mip-thick-persp-256", &thick, RENDER_MIP, 256, true, nullptr},
        {"opq-wedge-256", &iso, RENDER_OPQ, 256, false, wedge},
        {"opq-orbit-256", &iso, RENDER_OPQ, 256, true, orbit},
    };
    for (const Scene& sc : scenes) {
        RenderScene s(*sc.block);
        s.camera.perspective = sc.perspective;
        s.camera.updateCornerRays();
        s.setSize(sc.size);
        if (sc.setup) sc.setup(s);
        s.camera.updateCornerRays();
        s.view.setRenderMode(sc.mode);
        s.renderOnce(0, 1, false, 4);
        s.waitForBackgroundPass();
        report(sc.name, s);
        // The same scene rendered in one full-quality pass.
        s.view.renderForExport(sc.size, sc.size, nullptr);
        report(sc.name + "/export", s);
    }
    return 0;
}
