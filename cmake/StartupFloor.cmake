# The start-up floor of the Wine benchmark (bench/wine-startup.sh), built with
# wayfold.exe's flags. Left out of `all`: the benchmark builds it by name.
add_executable(startup_floor EXCLUDE_FROM_ALL bench/floor.c bench/floor.rc)
target_include_directories(startup_floor PRIVATE res)
target_compile_options(startup_floor PRIVATE -Os -ffunction-sections -fdata-sections)
target_link_options(startup_floor PRIVATE -static -s -Wl,--gc-sections)
target_link_libraries(startup_floor PRIVATE advapi32 user32)
