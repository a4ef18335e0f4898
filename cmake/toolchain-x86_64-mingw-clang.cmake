# Cross-build for 64-bit Windows with Debian's clang and lld against the
# mingw-w64 libraries; programs run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KEL_TRIPLE x86_64-w64-mingw32)
set(KEL_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-clang-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine64-run.sh)
