# End-to-end tests: wayfold.exe under Wine, driven by Python's unittest
# (tests/e2e), with small Windows helpers built here.
#   cmake --preset windows && cmake --build --preset windows && ctest --preset windows
# The exe under test is $WAYFOLD_EXE when set in ctest's environment (as the
# package check does), else the one built here (WAYFOLD_BUILT_EXE).
find_package(Python3 3.8 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(WARNING "No Python 3: the end-to-end tests are left out")
  return()
endif()

set(E2E_HELPER_DIR ${CMAKE_BINARY_DIR}/e2e)
foreach(helper rawrun regtool keyfeed)
  add_executable(e2e_${helper} tests/e2e/helpers/${helper}.c)
  set_target_properties(e2e_${helper} PROPERTIES
    OUTPUT_NAME ${helper}
    RUNTIME_OUTPUT_DIRECTORY ${E2E_HELPER_DIR})
  target_compile_options(e2e_${helper} PRIVATE -O2)
  target_link_options(e2e_${helper} PRIVATE -static -s)
endforeach()
target_link_libraries(e2e_regtool PRIVATE advapi32)

enable_testing()
file(GLOB E2E_MODULES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(module ${E2E_MODULES})
  get_filename_component(name ${module} NAME_WE)
  add_test(NAME e2e.${name}
    COMMAND ${Python3_EXECUTABLE} -m unittest -v ${name}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/e2e)
  set_tests_properties(e2e.${name} PROPERTIES
    ENVIRONMENT "WAYFOLD_BUILT_EXE=$<TARGET_FILE:wayfold>;WAYFOLD_HELPERS=${E2E_HELPER_DIR};PYTHONDONTWRITEBYTECODE=1"
    TIMEOUT 300
    LABELS e2e)
endforeach()
