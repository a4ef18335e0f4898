# What both mingw-w64 toolchain files share; they set KEL_TRIPLE first.
# The posix thread model gives the C++ runtime std::mutex (GoogleTest needs
# it); -static (top-level CMakeLists.txt) links that runtime into every
# program and DLL.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${KEL_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KEL_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KEL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Beside the engine SDK's package, find_package(kelbridge) needs no hint.
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../lib/cmake/kelbridge/kelbridgeConfig.cmake")
  list(APPEND CMAKE_PREFIX_PATH "${CMAKE_CURRENT_LIST_DIR}/..")
endif()
