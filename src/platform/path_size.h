// The longest full path the system's file calls take, declared once for every
// buffer that holds one.
#pragma once

#include <cstddef>

namespace platform {

// Characters of a full path with its NUL (bytes for the ANSI calls, UTF-16
// units for the wide ones): Windows' MAX_PATH.
constexpr std::size_t kMaxPathSize = 260;

}  // namespace platform
