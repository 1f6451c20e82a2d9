# PNG reading and writing from the stb headers, compiled into the programs (no libstb at run time): one
# object each, so that a program defining the writer itself takes only the reader from here.
foreach(part image image_write)
  string(TOUPPER "${part}" macro)
  file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/stb/stb_${part}.c"
       CONTENT "#define STB_${macro}_IMPLEMENTATION\n#include <stb/stb_${part}.h>\n")
endforeach()
add_library(stb STATIC "${CMAKE_BINARY_DIR}/stb/stb_image.c" "${CMAKE_BINARY_DIR}/stb/stb_image_write.c")
# Outside code: built without our warnings.
set_target_properties(stb PROPERTIES COMPILE_OPTIONS "" POSITION_INDEPENDENT_CODE ON)
