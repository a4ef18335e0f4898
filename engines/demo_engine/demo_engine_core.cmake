# The demo engine's portable part (parameters, state, DSP, module): built into
# the engine DLL and, natively too, into the unit tests.
if(TARGET kel_demo_core)
  return()
endif()
set(KEL_DEMO_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(kel_demo_core STATIC
  ${KEL_DEMO_DIR}/demo_module.cpp
  ${KEL_DEMO_DIR}/demo_processor.cpp
  ${KEL_DEMO_DIR}/filter_processor.cpp
  ${KEL_DEMO_DIR}/gain_processor.cpp
  ${KEL_DEMO_DIR}/parameter_bank.cpp
  ${KEL_DEMO_DIR}/parameter_scale.cpp
  ${KEL_DEMO_DIR}/processor_factory.cpp
  ${KEL_DEMO_DIR}/state_chunk.cpp
  ${KEL_DEMO_DIR}/state_variable_filter.cpp
  ${KEL_DEMO_DIR}/synth_processor.cpp
  ${KEL_DEMO_DIR}/synth_voice.cpp
  ${KEL_DEMO_DIR}/value_text.cpp)
target_include_directories(kel_demo_core PUBLIC ${KEL_DEMO_DIR} ${PROJECT_SOURCE_DIR}/src)
