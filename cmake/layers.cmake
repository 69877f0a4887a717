# One static library per source folder. A folder's headers are visible only to
# its own library and to the libraries that list it in USES, so an #include that
# runs against the layering fails to compile: each library's include path holds
# a folder of links to the source folders it may see, and no others.
#
#   kivora_layer(<folder> [USES <folder>...] [LINKS <library>...] [EXCLUDE <file>...])
#
# A folder may be nested (audio/engine); its library is named with underscores
# (kivora_audio_engine), and it is included as "audio/engine/...".
function(kivora_layer folder)
  cmake_parse_arguments(LAYER "" "" "USES;LINKS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.S)
  foreach(excluded IN LISTS LAYER_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${excluded})
  endforeach()
  string(REPLACE "/" "_" name ${folder})
  set(view ${CMAKE_BINARY_DIR}/layers/${name})
  get_filename_component(parent ${view}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${view}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  add_library(kivora_${name} STATIC ${sources})
  target_include_directories(kivora_${name} PUBLIC ${view})
  foreach(used IN LISTS LAYER_USES)
    string(REPLACE "/" "_" used ${used})
    target_link_libraries(kivora_${name} PUBLIC kivora_${used})
  endforeach()
  target_link_libraries(kivora_${name} PUBLIC ${LAYER_LINKS})
endfunction()
