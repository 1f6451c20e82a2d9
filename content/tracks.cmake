# The track table: names and keys written as readable text, compiled into constants by the build.
# mirelandt_add_track_table(<target> NAMES <names.txt> KEYS <keys.txt>) makes a library of the table
# (track_table.h) from the given files; the show's is mirelandt_track_table.
function(mirelandt_add_track_table target)
  cmake_parse_arguments(ARG "" "NAMES;KEYS" "" ${ARGN})
  set(data_cpp ${CMAKE_CURRENT_BINARY_DIR}/${target}_data.cpp)
  add_custom_command(
    OUTPUT ${data_cpp}
    COMMAND generate-track-table ${ARG_NAMES} ${ARG_KEYS} ${data_cpp}
    DEPENDS generate-track-table ${ARG_NAMES} ${ARG_KEYS}
    COMMENT "Compiling the track table ${ARG_KEYS}"
    VERBATIM)
  add_library(${target} STATIC ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/track_table.cpp ${data_cpp})
  target_link_libraries(${target} PUBLIC mirelandt_sync)
endfunction()

mirelandt_add_track_table(mirelandt_track_table NAMES ${CMAKE_CURRENT_SOURCE_DIR}/data/track_names.txt
                          KEYS ${CMAKE_CURRENT_SOURCE_DIR}/data/tracks.txt)

# Where the show's sections start and end, for plots and the director mode.
add_library(mirelandt_sections STATIC ${CMAKE_CURRENT_SOURCE_DIR}/sections.cpp)
