# End-to-end tests: the transcripts replayed on wayfold.exe under Wine
# (tests/e2e/run.py), with a small Windows helper built here, and the test
# build of the program for what Wine cannot show.
#   cmake --preset windows && cmake --build --preset windows && ctest --preset windows
# The exe under test is $WAYFOLD_EXE when set in ctest's environment (as the
# package check does), else the one built here (WAYFOLD_BUILT_EXE).
find_package(Python3 3.8 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(WARNING "No Python 3: the end-to-end tests are left out")
  return()
endif()

add_executable(e2e_helper tests/e2e/helper.cpp)
set_target_properties(e2e_helper PROPERTIES OUTPUT_NAME helper
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
target_compile_options(e2e_helper PRIVATE -O2)
target_link_options(e2e_helper PRIVATE -static -s)
target_link_libraries(e2e_helper PRIVATE advapi32)

enable_testing()
add_test(NAME e2e.transcripts
  COMMAND ${Python3_EXECUTABLE} -m unittest -v run
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
set_tests_properties(e2e.transcripts PROPERTIES
  ENVIRONMENT "WAYFOLD_BUILT_EXE=$<TARGET_FILE:wayfold>;WAYFOLD_FAULTS_EXE=$<TARGET_FILE:wayfold_faults>;WAYFOLD_HELPER=$<TARGET_FILE:e2e_helper>;PYTHONDONTWRITEBYTECODE=1"
  TIMEOUT 900
  LABELS e2e)
