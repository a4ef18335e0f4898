# The validator's portable part (guarded buffers, result lines, the report):
# built into plughost and, natively too, into the unit tests.
if(TARGET plughost_validate_core)
  return()
endif()
set(KEL_VALIDATE_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(plughost_validate_core STATIC
  ${KEL_VALIDATE_DIR}/check_context.cpp
  ${KEL_VALIDATE_DIR}/check_result.cpp
  ${KEL_VALIDATE_DIR}/guarded_buffers.cpp
  ${KEL_VALIDATE_DIR}/json_report.cpp)
target_include_directories(plughost_validate_core PUBLIC ${KEL_VALIDATE_DIR})
