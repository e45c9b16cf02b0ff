# The test build of the program: build/windows/faults/wayfold.exe, the same
# sources, where the tests answer some Windows calls in Windows' place
# (tests/fault/Faults.h). Never packaged.
target_include_directories(wayfold_platform_faults PRIVATE tests/fault)
target_compile_definitions(wayfold_platform_faults PRIVATE WAYFOLD_FAULTS)
add_executable(wayfold_faults src/front/Main.cpp res/wayfold.rc)
target_link_libraries(wayfold_faults PRIVATE wayfold_front_faults)
target_link_options(wayfold_faults PRIVATE ${WAYFOLD_LINK_OPTIONS})
set_target_properties(wayfold_faults PROPERTIES OUTPUT_NAME wayfold
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/faults)
