# Unit tests: the transcripts replayed on the simulated Windows (GoogleTest),
# with ASan and UBSan in the dev preset.  ctest --preset dev
find_package(GTest REQUIRED)
find_package(Python3 3.8 REQUIRED COMPONENTS Interpreter)
include(GoogleTest)

# The transcripts in the plain form the replay reads (tests/transcript.py).
file(GLOB TRANSCRIPT_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/transcripts/*.txt)
set(TRANSCRIPTS ${CMAKE_BINARY_DIR}/transcripts.run)
add_custom_command(OUTPUT ${TRANSCRIPTS}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/transcript.py ${TRANSCRIPTS}
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/transcript.py ${TRANSCRIPT_FILES})
add_custom_target(transcripts ALL DEPENDS ${TRANSCRIPTS})

set(UNIT ${CMAKE_SOURCE_DIR}/tests/unit)
add_executable(unit_tests ${UNIT}/TranscriptTest.cpp)
target_link_libraries(unit_tests PRIVATE wayfold_logic GTest::gtest_main)
target_compile_definitions(unit_tests PRIVATE TRANSCRIPTS="${TRANSCRIPTS}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
