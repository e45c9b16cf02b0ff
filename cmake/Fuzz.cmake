# The whole-run fuzzer (clang, libFuzzer; the fuzz preset): scripts/fuzz.sh
# builds and runs it.
add_executable(fuzz_whole_run ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_whole_run.cpp)
target_include_directories(fuzz_whole_run PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit)
target_link_libraries(fuzz_whole_run PRIVATE wayfold_logic)
target_link_options(fuzz_whole_run PRIVATE -fsanitize=fuzzer,address,undefined)
