#include "view/RendererFactory.h"

#include "render/CMIP.h"
#include "render/COPQ.h"
#include "render/CSSD.h"

namespace v3d {

std::unique_ptr<CRaycaster> makeStandardRenderer(int mode, ViewCore& view) {
    if (!view.m_pVolume || !view.m_pCamera) return nullptr;
    const uint8_t* table = &view.m_shadeTable[0][0];
    switch (mode) {
    case RENDER_SSD: return std::make_unique<CSSD>(view, *view.m_pVolume, *view.m_pCamera, *view.m_workspace, table);
    case RENDER_MIP: return std::make_unique<CMIP>(view, *view.m_pVolume, *view.m_pCamera, *view.m_workspace, table);
    case RENDER_OPQ: return std::make_unique<COPQ>(view, *view.m_pVolume, *view.m_pCamera, *view.m_workspace, table);
    default: return nullptr;
    }
}

}  // namespace v3d
