#pragma once

#include <string>

namespace glossan {

// The folder of the host executable, without a trailing separator; empty
// when the executable's path cannot be read.
std::string hostDirectory();

}  // namespace glossan
