# wayfold_layer(NAME SOURCES... [EXCLUDE FILES...] [LINKS LAYERS...]): the
# static library wayfold_NAME of the folder src/NAME. Its users see its
# headers, and those of the layers it links, as "NAME/File.h" through a
# folder of its own in the build tree that holds only src/NAME: a header of a
# layer above is not found.
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
  add_library(wayfold_${name} STATIC ${sources})
  target_include_directories(wayfold_${name} PUBLIC ${view})
  list(TRANSFORM LAYER_LINKS PREPEND wayfold_)
  target_link_libraries(wayfold_${name} PUBLIC ${LAYER_LINKS})
  if(WIN32)
    target_compile_options(wayfold_${name} PRIVATE -Os -ffunction-sections -fdata-sections)
  endif()
endfunction()
