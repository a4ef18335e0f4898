# What both clang toolchain files share; they set KEL_TRIPLE first.
# Debian's clang targets mingw-w64 with the libraries and C++ headers of the
# mingw-w64 g++ packages (posix thread model), which it finds only when told,
# and links with lld. The result follows the same C++ ABI as g++'s, so an
# engine built here loads behind a g++-built plug-in.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES clang REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++ REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${KEL_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${KEL_TRIPLE})
find_program(CMAKE_AR NAMES ${KEL_TRIPLE}-ar llvm-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${KEL_TRIPLE}-ranlib llvm-ranlib REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KEL_TRIPLE}-windres)

# GCC's folder for the triple: its C++ headers and its runtime libraries.
if(NOT KEL_MINGW_GCC_DIR)
  file(GLOB _kel_gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${KEL_TRIPLE}/*-posix)
  list(SORT _kel_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
  list(GET _kel_gcc_dirs 0 _kel_gcc_dir)
  set(KEL_MINGW_GCC_DIR "${_kel_gcc_dir}" CACHE PATH "GCC's library folder for ${KEL_TRIPLE}")
endif()
if(NOT EXISTS "${KEL_MINGW_GCC_DIR}/include/c++/${KEL_TRIPLE}")
  message(FATAL_ERROR "No C++ headers of the mingw-w64 g++ (posix) for ${KEL_TRIPLE} in "
                      "'${KEL_MINGW_GCC_DIR}': install g++-mingw-w64 or set KEL_MINGW_GCC_DIR")
endif()
set(_kel_cxx_headers
    "-nostdinc++ -isystem ${KEL_MINGW_GCC_DIR}/include/c++ -isystem ${KEL_MINGW_GCC_DIR}/include/c++/${KEL_TRIPLE}")
# The posix runtime's threads come from winpthread (linked in with -static;
# lld takes libraries in any order). The C++ header flags reach the links
# too, where they are unused.
set(_kel_link
    "-fuse-ld=lld -L${KEL_MINGW_GCC_DIR} -lwinpthread -Wno-unused-command-line-argument")
set(CMAKE_CXX_FLAGS_INIT "${KEL_ARCH_FLAGS} ${_kel_cxx_headers}")
set(CMAKE_C_FLAGS_INIT "${KEL_ARCH_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_kel_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_kel_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_kel_link}")

set(CMAKE_FIND_ROOT_PATH /usr/${KEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Beside the engine SDK's package, find_package(kelbridge) needs no hint.
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../lib/cmake/kelbridge/kelbridgeConfig.cmake")
  list(APPEND CMAKE_PREFIX_PATH "${CMAKE_CURRENT_LIST_DIR}/..")
endif()
