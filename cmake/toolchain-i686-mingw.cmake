# Cross-build for 32-bit Windows with mingw-w64; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KEL_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# ctest runs the Windows programs through this wrapper (Wine, quiet, own prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)

# Scalar floating point on SSE2 instead of the x87 unit: our arithmetic gives
# plain 64-bit doubles, the same as on other machines, whatever precision the
# host process set for the x87. Hosts only promise 4-byte stack alignment, so
# functions that need more realign their own frame.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
