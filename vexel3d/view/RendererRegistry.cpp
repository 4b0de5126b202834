#include "view/RendererRegistry.h"

#include "render/CMIP.h"
#include "render/COPQ.h"
#include "render/CSSD.h"
#include "view/ViewCommands.h"

namespace v3d {

namespace {

template <typename Renderer>
std::unique_ptr<CRaycaster> make(RenderHost& host, const CVolume& volume, const Camera& camera,
                                 RenderWorkspace& workspace, const uint8_t* shadeTable) {
    return std::make_unique<Renderer>(host, volume, camera, workspace, shadeTable);
}

constexpr std::array<RendererKind, kRenderModeCount> kRenderers = {{
    {RENDER_SSD, ID_RENDER_SSD, "SSD 3D rendering", "SSD", &make<CSSD>},
    {RENDER_MIP, ID_RENDER_MIP, "MIP rendering", "MIP", &make<CMIP>},
    {RENDER_OPQ, ID_RENDER_OPQ, "Opaque rendering", "OPQ", &make<COPQ>},
}};

constexpr bool inModeOrder() {
    for (int i = 0; i < kRenderModeCount; ++i)
        if (kRenderers[static_cast<size_t>(i)].mode != i) return false;
    return true;
}
static_assert(inModeOrder(), "the table is indexed by mode");

}  // namespace

const std::array<RendererKind, kRenderModeCount>& rendererKinds() { return kRenderers; }

const RendererKind* rendererOfMode(int mode) {
    return mode >= 0 && mode < kRenderModeCount ? &kRenderers[static_cast<size_t>(mode)] : nullptr;
}

const RendererKind* rendererOfCommand(int command) {
    for (const RendererKind& kind : kRenderers)
        if (kind.command == command) return &kind;
    return nullptr;
}

std::unique_ptr<CRaycaster> makeStandardRenderer(int mode, ViewCore& view) {
    const RendererKind* kind = rendererOfMode(mode);
    if (!kind || !view.m_pVolume || !view.m_pCamera) return nullptr;
    return kind->make(view, *view.m_pVolume, *view.m_pCamera, *view.m_workspace, &view.m_shadeTable[0][0]);
}

}  // namespace v3d
