# The scene builder: the choreography, the show's resources and its pass list on the graphics runtime.
add_library(mirelandt_scene STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/build_scene.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/pass_list.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/scene_resources.cpp)
target_link_libraries(mirelandt_scene PUBLIC mirelandt_gfx mirelandt_assets mirelandt_track_table
                                             mirelandt_shaders)
