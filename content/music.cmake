# The music: the composer writes the module into the build tree, and its bytes are compiled into the
# library mirelandt_module (see content/music/embedded_module.h). The same file is committed as
# content/music/mirelandt.xm so that a tracker can open it; a test keeps the two identical, and the
# target mirelandt_update_music copies a new build output over the committed file.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode: cmake -DINPUT=... -DOUTPUT=... -P music.cmake turns the module into a C++ source.
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(WRITE "${OUTPUT}.tmp"
    "// Generated from the composer's module; do not edit.\n"
    "#include \"content/music/embedded_module.h\"\n\n"
    "namespace Orvo::Gfx {\n\nnamespace {\nconst uint8_t kModule[${size}] = {\n${bytes}};\n}\n\n"
    "const uint8_t* embeddedModuleData() { return kModule; }\n"
    "uint32_t embeddedModuleSize() { return ${size}; }\n\n} // namespace Orvo::Gfx\n")
  file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
  return()
endif()

set(MIRELANDT_MODULE_FILE "${CMAKE_CURRENT_BINARY_DIR}/music/mirelandt.xm")
set(MIRELANDT_COMMITTED_MODULE_FILE "${CMAKE_CURRENT_SOURCE_DIR}/music/mirelandt.xm")
set(embedded_source "${CMAKE_CURRENT_BINARY_DIR}/music/embedded_module.cpp")

add_custom_command(
  OUTPUT "${MIRELANDT_MODULE_FILE}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/music"
  COMMAND mirelandt-composer "${MIRELANDT_MODULE_FILE}"
  DEPENDS mirelandt-composer
  COMMENT "Composing the module"
  VERBATIM)

add_custom_command(
  OUTPUT "${embedded_source}"
  COMMAND "${CMAKE_COMMAND}" -DINPUT=${MIRELANDT_MODULE_FILE} -DOUTPUT=${embedded_source}
          -P "${CMAKE_CURRENT_LIST_FILE}"
  DEPENDS "${MIRELANDT_MODULE_FILE}" "${CMAKE_CURRENT_LIST_FILE}"
  COMMENT "Embedding the module"
  VERBATIM)

add_library(mirelandt_module STATIC "${embedded_source}")

add_custom_target(mirelandt_update_music
  COMMAND "${CMAKE_COMMAND}" -E copy "${MIRELANDT_MODULE_FILE}" "${MIRELANDT_COMMITTED_MODULE_FILE}"
  DEPENDS "${MIRELANDT_MODULE_FILE}"
  COMMENT "Copying the composed module over content/music/mirelandt.xm"
  VERBATIM)
