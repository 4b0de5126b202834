#pragma once

#include <QIcon>

namespace v3d {

// The 18 x 18 picture of a toolbar command; a plain square for an unknown one.
QIcon toolbarIcon(int command);

}  // namespace v3d
