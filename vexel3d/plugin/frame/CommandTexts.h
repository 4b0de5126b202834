#pragma once

#include "view/ViewCommands.h"

namespace v3d {

// The caption (and tool tip) of a command; empty for an unknown one.
const char* commandCaption(int command);

}  // namespace v3d
