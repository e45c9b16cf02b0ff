# Unit tests: the transcripts replayed on the simulated Windows, each run of
# wayFOLD in a process of its own (tests/sim/SimRun.cpp), with ASan and UBSan
# in the dev preset.  ctest --preset dev
find_package(nlohmann_json 3 REQUIRED)
find_package(Python3 3.8 REQUIRED COMPONENTS Interpreter)

add_executable(sim_run ${CMAKE_SOURCE_DIR}/tests/sim/SimRun.cpp)
target_link_libraries(sim_run PRIVATE wayfold_front nlohmann_json::nlohmann_json)

add_test(NAME transcripts.sim
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/transcript.py $<TARGET_FILE:sim_run>)
set_tests_properties(transcripts.sim PROPERTIES
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1" TIMEOUT 600)
