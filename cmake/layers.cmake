# One static library per source folder. A folder's headers are visible only to
# its own library and to the libraries that list it in USES, so an #include that
# runs against the layering fails to compile: each library's include path holds
# a folder of links to the source folders it may see, and no others.
#
#   kivora_layer(<folder> [USES <folder>...] [LINKS <library>...] [EXCLUDE <file>...])
function(kivora_layer folder)
  cmake_parse_arguments(LAYER "" "" "USES;LINKS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.S)
  foreach(excluded IN LISTS LAYER_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${excluded})
  endforeach()
  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${view})
  if(NOT EXISTS ${view}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  add_library(kivora_${folder} STATIC ${sources})
  target_include_directories(kivora_${folder} PUBLIC ${view})
  foreach(used IN LISTS LAYER_USES)
    target_link_libraries(kivora_${folder} PUBLIC kivora_${used})
  endforeach()
  target_link_libraries(kivora_${folder} PUBLIC ${LAYER_LINKS})
endfunction()
