#include "view/RendererFactory.h"

std::unique_ptr<CRaycaster> makeStandardRenderer(int /*mode*/, ViewCore& /*view*/) { return nullptr; }
