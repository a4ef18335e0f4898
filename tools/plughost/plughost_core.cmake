# plughost's portable part (WAV, FXP and PNG files, note schedules, settings,
# IDs, .ini text, response measurement and chart axes): built into plughost and, natively too, into the unit tests.
if(TARGET plughost_core)
  return()
endif()
set(KEL_PLUGHOST_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(plughost_core STATIC
  ${KEL_PLUGHOST_DIR}/automation_csv.cpp
  ${KEL_PLUGHOST_DIR}/byte_file.cpp
  ${KEL_PLUGHOST_DIR}/chart_axes.cpp
  ${KEL_PLUGHOST_DIR}/display_search.cpp
  ${KEL_PLUGHOST_DIR}/frequency_response.cpp
  ${KEL_PLUGHOST_DIR}/fxp_io.cpp
  ${KEL_PLUGHOST_DIR}/ini_text.cpp
  ${KEL_PLUGHOST_DIR}/midi_file.cpp
  ${KEL_PLUGHOST_DIR}/note_schedule.cpp
  ${KEL_PLUGHOST_DIR}/parameter_assignment.cpp
  ${KEL_PLUGHOST_DIR}/plugin_id.cpp
  ${KEL_PLUGHOST_DIR}/png_writer.cpp
  ${KEL_PLUGHOST_DIR}/progress_bar.cpp
  ${KEL_PLUGHOST_DIR}/response_chart.cpp
  ${KEL_PLUGHOST_DIR}/sample_census.cpp
  ${KEL_PLUGHOST_DIR}/test_signal.cpp
  ${KEL_PLUGHOST_DIR}/wav_io.cpp)
target_include_directories(plughost_core PUBLIC ${KEL_PLUGHOST_DIR})
