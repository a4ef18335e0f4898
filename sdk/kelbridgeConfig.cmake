# The kelbridge engine SDK as a CMake package:
#
#   find_package(kelbridge 1.0 CONFIG REQUIRED)
#   kelbridge_add_engine(NAME my_engine SOURCES engine.cpp ... [LIBS target ...])
#
# kelbridge::engine_contract  the engine contract headers, included as
#                             "kel/kel_interfaces.h"; for portable code and
#                             native unit tests too.
# kelbridge::engine           (Windows builds) the contract, the runtime
#                             support file every engine DLL links so that
#                             hosts can load and free it without leaks, and
#                             the flags an engine needs on its width.
# kelbridge_add_engine(...)   a DLL exporting exactly kelMain.
# kelbridge_add_validation(TARGET [LEVEL n] [STRICT] [OPTIONS ...])
#                             a ctest test validating the built engine with
#                             this SDK's plughost under Wine.
# KELBRIDGE_SDK_DIR, KELBRIDGE_BIN_DIR  the SDK, and its bin/x86 or bin/x64
#                             folder (kelbridge.dll, plughost.exe) for the
#                             width being built.
get_filename_component(KELBRIDGE_SDK_DIR "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

# The engine contract is the GCC/Itanium C++ ABI of mingw-w64: MSVC lays out
# virtual bases differently, so its objects cannot be called through it.
if(MSVC)
  message(FATAL_ERROR "kelbridge SDK: an engine cannot be built with MSVC, whose layout of "
                      "virtual bases differs from the engine contract's; use a mingw-w64 g++ or "
                      "clang toolchain (see docs/engine-guide.md)")
endif()

set(_kel_required include/kel/kel_interfaces.h include/kel/parameter_info.h
                  src/kelbridge_runtime.cpp)
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_kel_arch x86)
    set(_kel_width 32)
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_kel_arch x64)
    set(_kel_width 64)
  else()
    message(FATAL_ERROR "kelbridge SDK: the compiler's pointer size is unknown; "
                        "configure with one of the SDK's toolchain files in ${KELBRIDGE_SDK_DIR}/cmake")
  endif()
  set(KELBRIDGE_BIN_DIR "${KELBRIDGE_SDK_DIR}/bin/${_kel_arch}")
  list(APPEND _kel_required bin/${_kel_arch}/kelbridge.dll bin/${_kel_arch}/plughost.exe)
endif()
# The targets are global: a second find_package, from any folder of the
# build, finds them made.
if(TARGET kelbridge::engine_contract)
  return()
endif()
set(_kel_missing "")
foreach(_kel_file IN LISTS _kel_required)
  if(NOT EXISTS "${KELBRIDGE_SDK_DIR}/${_kel_file}")
    list(APPEND _kel_missing "${_kel_file}")
  endif()
endforeach()
if(_kel_missing)
  list(JOIN _kel_missing ", " _kel_missing)
  if(WIN32 AND _kel_missing MATCHES "^bin/${_kel_arch}/")
    message(FATAL_ERROR "kelbridge SDK ${KELBRIDGE_SDK_DIR} has no ${_kel_width}-bit build for this "
                        "${_kel_width}-bit configuration: missing ${_kel_missing}")
  endif()
  message(FATAL_ERROR "kelbridge SDK ${KELBRIDGE_SDK_DIR} is incomplete: missing ${_kel_missing}")
endif()

add_library(kelbridge::engine_contract INTERFACE IMPORTED GLOBAL)
set_target_properties(kelbridge::engine_contract PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${KELBRIDGE_SDK_DIR}/include"
  INTERFACE_COMPILE_FEATURES cxx_std_11)

if(WIN32)
  add_library(kelbridge::engine INTERFACE IMPORTED GLOBAL)
  # Hosts load an engine with nothing else installed: the C++ runtime is
  # linked in, and the runtime support file takes over its once routine,
  # static guards and thread keys (the link wraps the pthread functions) and
  # frees its buffers when the engine is unloaded.
  set(_kel_link_options -static -static-libgcc -static-libstdc++
      -Wl,--wrap=pthread_once -Wl,--wrap=pthread_key_create -Wl,--wrap=pthread_key_delete
      -Wl,--wrap=pthread_getspecific -Wl,--wrap=pthread_setspecific)
  set(_kel_compile_options "")
  if(_kel_width EQUAL 32)
    # Scalar floating point on SSE2, not the x87 unit, whose precision the
    # host process may have changed.
    list(APPEND _kel_compile_options -msse2 -mfpmath=sse)
    # Hosts promise 4-byte stack alignment only; g++ otherwise assumes 16.
    # clang assumes 4 on 32-bit Windows already.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      list(APPEND _kel_compile_options -mincoming-stack-boundary=2)
    endif()
  endif()
  set_target_properties(kelbridge::engine PROPERTIES
    INTERFACE_LINK_LIBRARIES kelbridge::engine_contract
    INTERFACE_SOURCES "${KELBRIDGE_SDK_DIR}/src/kelbridge_runtime.cpp"
    INTERFACE_COMPILE_OPTIONS "${_kel_compile_options}"
    INTERFACE_LINK_OPTIONS "${_kel_link_options}")
endif()

# kelbridge_add_engine(NAME name SOURCES file... [LIBS target...])
# Builds <name>.dll, exporting kelMain and nothing else. A library that does
# not define kelMain (extern "C", as in the template) fails to link.
function(kelbridge_add_engine)
  cmake_parse_arguments(ENGINE "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT ENGINE_NAME)
    message(FATAL_ERROR "kelbridge_add_engine: NAME is missing")
  endif()
  if(NOT ENGINE_SOURCES)
    message(FATAL_ERROR "kelbridge_add_engine(NAME ${ENGINE_NAME}): no SOURCES; give the files "
                        "that define kelMain and the engine")
  endif()
  if(ENGINE_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kelbridge_add_engine(NAME ${ENGINE_NAME}): unknown arguments "
                        "${ENGINE_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT WIN32)
    message(FATAL_ERROR "kelbridge_add_engine(NAME ${ENGINE_NAME}) builds a Windows DLL: configure "
                        "with one of the toolchain files in ${KELBRIDGE_SDK_DIR}/cmake")
  endif()
  # The export list names kelMain only; the linker refuses to export a
  # symbol nobody defines.
  set(def "${CMAKE_CURRENT_BINARY_DIR}/${ENGINE_NAME}_exports.def")
  file(CONFIGURE OUTPUT "${def}" CONTENT "LIBRARY ${ENGINE_NAME}.dll\nEXPORTS\n  kelMain\n")
  add_library(${ENGINE_NAME} SHARED ${ENGINE_SOURCES} "${def}")
  target_link_libraries(${ENGINE_NAME} PRIVATE kelbridge::engine ${ENGINE_LIBS})
  set_target_properties(${ENGINE_NAME} PROPERTIES PREFIX "" OUTPUT_NAME ${ENGINE_NAME})
endfunction()

# kelbridge_add_validation(TARGET [LEVEL n] [STRICT] [OPTIONS option...])
# Adds the ctest test <TARGET>_validation: this SDK's plughost, of the width
# being built, validates the engine <TARGET> builds (plughost validate
# --engine, through a scratch installation it makes and removes itself) at
# LEVEL n (1 to 10, default 1), with STRICT counting warnings as failures.
# OPTIONS go to validate as they are (--process-index 1, --channels-in 0,
# --skip-editor, ...). The test writes <TARGET>_validation.xml, a JUnit
# report, into the build folder. Under Wine it runs in the prefix
# $PLUGHOST_WINEPREFIX (default ~/.local/share/kelbridge/wineprefix), made on
# first use; without $DISPLAY the editor check runs under xvfb-run.
function(kelbridge_add_validation TARGET)
  cmake_parse_arguments(VALIDATION "STRICT" "LEVEL" "OPTIONS" ${ARGN})
  if(VALIDATION_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kelbridge_add_validation(${TARGET}): unknown arguments "
                        "${VALIDATION_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${TARGET})
    message(FATAL_ERROR "kelbridge_add_validation(${TARGET}): no target ${TARGET}; call it after "
                        "kelbridge_add_engine(NAME ${TARGET} ...)")
  endif()
  if(NOT WIN32)
    message(FATAL_ERROR "kelbridge_add_validation(${TARGET}) validates a Windows DLL: configure "
                        "with one of the toolchain files in ${KELBRIDGE_SDK_DIR}/cmake")
  endif()
  if(NOT DEFINED VALIDATION_LEVEL)
    set(VALIDATION_LEVEL 1)
  endif()
  if(NOT VALIDATION_LEVEL MATCHES "^([1-9]|10)$")
    message(FATAL_ERROR "kelbridge_add_validation(${TARGET}): LEVEL ${VALIDATION_LEVEL} is not a "
                        "whole number from 1 to 10")
  endif()
  set(arguments validate --engine $<TARGET_FILE:${TARGET}> --level ${VALIDATION_LEVEL}
                --junit ${CMAKE_CURRENT_BINARY_DIR}/${TARGET}_validation.xml)
  if(VALIDATION_STRICT)
    list(APPEND arguments --strict)
  endif()
  list(APPEND arguments ${VALIDATION_OPTIONS})
  set(name ${TARGET}_validation)
  if(CMAKE_HOST_WIN32)
    add_test(NAME ${name} COMMAND "${KELBRIDGE_BIN_DIR}/plughost.exe" ${arguments})
  else()
    add_test(NAME ${name} COMMAND bash "${KELBRIDGE_SDK_DIR}/cmake/plughost-wine" ${arguments})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "PLUGHOST_EXE=${KELBRIDGE_BIN_DIR}/plughost.exe")
  endif()
  # Level 10 takes minutes on a slow machine.
  math(EXPR timeout "300 + 120 * ${VALIDATION_LEVEL}")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
endfunction()
