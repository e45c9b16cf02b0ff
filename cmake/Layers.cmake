# wayfold_layer(NAME SOURCES... [EXCLUDE FILES...] [LINKS LAYERS...]): the
# static library wayfold_NAME of the folder src/NAME. Its users see its
# headers, and those of the layers it links, as "NAME/File.h" through a
# folder of its own in the build tree that holds only src/NAME: a header of a
# layer above is not found.
#
# With WAYFOLD_FAULT_BUILD, each layer is also built as wayfold_NAME_faults
# for the test build of the program (tests/fault): the same sources with the
# undefined-behaviour checks (trapping) and the library's assertions.
function(wayfold_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "EXCLUDE;LINKS")
  file(GLOB sources CONFIGURE_DEPENDS ${LAYER_UNPARSED_ARGUMENTS})
  foreach(excluded IN LISTS LAYER_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${excluded})
  endforeach()
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${view})
  if(NOT EXISTS ${view}/${name})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${name} ${view}/${name} SYMBOLIC)
  endif()
  set(variants "")
  if(WAYFOLD_FAULT_BUILD)
    set(variants _faults)
  endif()
  foreach(variant "" ${variants})
    set(library wayfold_${name}${variant})
    add_library(${library} STATIC ${sources})
    target_include_directories(${library} PUBLIC ${view})
    set(links ${LAYER_LINKS})
    list(TRANSFORM links PREPEND wayfold_)
    list(TRANSFORM links APPEND "${variant}")
    target_link_libraries(${library} PUBLIC ${links})
    if(WIN32)
      target_compile_options(${library} PRIVATE -Os -ffunction-sections -fdata-sections)
    endif()
    if(variant)
      target_compile_options(${library} PUBLIC -fsanitize=undefined
                             -fsanitize-undefined-trap-on-error -D_GLIBCXX_ASSERTIONS)
    endif()
  endforeach()
endfunction()
