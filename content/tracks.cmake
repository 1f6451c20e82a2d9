# The track table: names and keys written as readable text, compiled into constants by the build.
set(track_names_txt ${CMAKE_CURRENT_SOURCE_DIR}/data/track_names.txt)
set(track_keys_txt ${CMAKE_CURRENT_SOURCE_DIR}/data/tracks.txt)
set(track_table_data_cpp ${CMAKE_CURRENT_BINARY_DIR}/track_table_data.cpp)
add_custom_command(
  OUTPUT ${track_table_data_cpp}
  COMMAND generate-track-table ${track_names_txt} ${track_keys_txt} ${track_table_data_cpp}
  DEPENDS generate-track-table ${track_names_txt} ${track_keys_txt}
  COMMENT "Compiling the track table"
  VERBATIM)
add_library(mirelandt_track_table STATIC ${CMAKE_CURRENT_SOURCE_DIR}/track_table.cpp ${track_table_data_cpp})
target_include_directories(mirelandt_track_table PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(mirelandt_track_table PUBLIC mirelandt_sync)

# Where the show's sections start and end, for plots and the director mode.
add_library(mirelandt_sections STATIC ${CMAKE_CURRENT_SOURCE_DIR}/sections.cpp)
target_include_directories(mirelandt_sections PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
