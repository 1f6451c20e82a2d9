# The built-in tables (fonts, palettes, cell pages), generated from content/data by mirelandt-pagegen.
set(MIRELANDT_FONT_SOURCE "/usr/share/fonts/X11/misc/ter-u16b_unicode.pcf.gz"
    CACHE FILEPATH "Terminus bold 8x16 PCF font (Debian package xfonts-terminus) converted into the font tables")
if(NOT EXISTS "${MIRELANDT_FONT_SOURCE}")
  message(FATAL_ERROR "Font ${MIRELANDT_FONT_SOURCE} not found: install xfonts-terminus (scripts/install-deps.sh)")
endif()

set(assets_dir "${CMAKE_CURRENT_BINARY_DIR}/assets")
file(MAKE_DIRECTORY "${assets_dir}")
set(asset_tables assets_fonts assets_palettes assets_textBuffer1 assets_textBuffer2 assets_textBuffer3
    assets_textBuffer4 assets_textBuffer5 assets_textBuffer6 assets_cylinderCells)
list(TRANSFORM asset_tables PREPEND "${assets_dir}/" OUTPUT_VARIABLE asset_sources)
list(TRANSFORM asset_sources APPEND ".cpp")
file(GLOB asset_inputs CONFIGURE_DEPENDS
     "${CMAKE_CURRENT_SOURCE_DIR}/data/font/*.txt" "${CMAKE_CURRENT_SOURCE_DIR}/data/palettes/*.txt"
     "${CMAKE_CURRENT_SOURCE_DIR}/data/pages/*")
add_custom_command(
  OUTPUT ${asset_sources}
  COMMAND mirelandt-pagegen --data "${CMAKE_CURRENT_SOURCE_DIR}/data" --font "${MIRELANDT_FONT_SOURCE}"
          --out "${assets_dir}"
  DEPENDS mirelandt-pagegen ${asset_inputs} "${MIRELANDT_FONT_SOURCE}"
  COMMENT "Generating the font, palette and page tables"
  VERBATIM)

add_library(mirelandt_assets STATIC ${asset_sources})
