# add_subfolders([SKIP name...]): adds every subfolder of the current folder that has a CMakeLists.txt, in
# name order, except those named after SKIP; a new subfolder is picked up without editing its parent.
function(add_subfolders)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "SKIP")
  file(GLOB children LIST_DIRECTORIES true RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/*")
  list(SORT children)
  foreach(child ${children})
    if(NOT child IN_LIST arg_SKIP AND EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt")
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
