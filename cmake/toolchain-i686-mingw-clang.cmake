# Cross-build for 32-bit Windows with Debian's clang and lld against the
# mingw-w64 libraries; programs run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KEL_TRIPLE i686-w64-mingw32)
# Scalar floating point on SSE2, as with g++. clang already realigns the
# frames that need more than the 4 bytes of stack alignment hosts promise on
# 32-bit Windows.
set(KEL_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-clang-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
