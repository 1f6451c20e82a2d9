# What the Windows cross build (toolchain cmake/mingw-w64.cmake, preset "windows") needs beyond the Linux
# build: self-contained programs, GoogleTest and stb compiled for Windows, the Vulkan headers alone, the
# content generators built for the host, and test programs run whole under wine.

# Static C, C++ and thread runtimes: the programs import only Windows' own DLLs.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")
enable_language(RC)
# The C library's printf family with C99 formats (%zu, %lld), as on Linux.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# Headers taken from the host's packages go through a folder of their own, never the host's include
# folder, whose C library headers would shadow mingw-w64's.
set(MIRELANDT_HOST_INCLUDE_DIR "/usr/include" CACHE PATH "Where the host's vulkan/, vk_video/ and stb/ headers are")
set(header_dir "${CMAKE_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${header_dir}")
foreach(folder vulkan vk_video stb)
  if(NOT EXISTS "${MIRELANDT_HOST_INCLUDE_DIR}/${folder}")
    message(FATAL_ERROR "${MIRELANDT_HOST_INCLUDE_DIR}/${folder} not found: run scripts/install-deps.sh")
  endif()
  file(CREATE_LINK "${MIRELANDT_HOST_INCLUDE_DIR}/${folder}" "${header_dir}/${folder}" SYMBOLIC)
endforeach()
include_directories(SYSTEM "${header_dir}")
# The Vulkan loader is vulkan-1.dll, opened at run time: only the headers are needed.
add_library(Vulkan::Headers INTERFACE IMPORTED)
set_target_properties(Vulkan::Headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${header_dir}")
# GoogleTest from Debian's sources (googletest package), without our warnings-as-errors.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
foreach(library gtest gtest_main gmock gmock_main)
  set_target_properties(${library} PROPERTIES COMPILE_OPTIONS "")
  if(NOT TARGET GTest::${library})
    add_library(GTest::${library} ALIAS ${library})
  endif()
endforeach()

# Under wine a program takes about a second to start, so each test program runs whole as one test
# instead of once per test case; the properties given apply to it.
function(gtest_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "DISCOVERY_TIMEOUT" "PROPERTIES")
  add_test(NAME ${target} COMMAND ${target})
  if(ARG_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${ARG_PROPERTIES})
  endif()
endfunction()

# The content generators (track table, composer, page generator, shader packer) run on the build machine: a nested
# build of this source tree makes them for the host, and the custom commands run those.
include(ExternalProject)
set(host_tools_dir "${CMAKE_BINARY_DIR}/host-tools")
set(host_tools generate-track-table:track_table mirelandt-composer:composer mirelandt-pagegen:pagegen
               pack-shader-program:shader_pack)
set(host_tool_files "")
foreach(entry IN LISTS host_tools)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 tool)
  list(GET entry 1 folder)
  list(APPEND host_tool_files "${host_tools_dir}/generators/${folder}/${tool}")
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION "${host_tools_dir}/generators/${folder}/${tool}")
  add_dependencies(${tool} mirelandt_host_tools)
endforeach()
ExternalProject_Add(mirelandt_host_tools
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${host_tools_dir}"
  CMAKE_ARGS -DMIRELANDT_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release -DMIRELANDT_WERROR=${MIRELANDT_WERROR}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${host_tool_files}
  INSTALL_COMMAND "")
