# mirelandt_add_shader_programs(<target> NAMESPACE <ns> SOURCES <file.hlsl>...)
# Compiles every HLSL program with glslangValidator into SPIR-V (stage and entry point from the
# file name: _vs -> "vertex_main", _ps -> "pixel_main", _cs -> "kernel_main"), validates it with
# spirv-val, reflects its bindings with spirv-cross and embeds the result in a static library
# whose <ns>::findShaderProgram looks programs up by name.
find_program(GLSLANG_VALIDATOR glslangValidator REQUIRED)
find_program(SPIRV_VAL spirv-val REQUIRED)
find_program(SPIRV_CROSS spirv-cross REQUIRED)

# Where the generated includes live; the same for every folder that builds programs.
set(MIRELANDT_SHADER_INCLUDE_DIR "${CMAKE_BINARY_DIR}/shaders/include")
set(MIRELANDT_CONTEXT_BUFFER_HLSLI "${MIRELANDT_SHADER_INCLUDE_DIR}/context_buffer.hlsli")

function(mirelandt_add_shader_programs target)
  set(MIRELANDT_SHADER_CMAKE_DIR "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
  set(MIRELANDT_SHADER_INCLUDE_DIR "${CMAKE_BINARY_DIR}/shaders/include")
  set(MIRELANDT_CONTEXT_BUFFER_HLSLI "${MIRELANDT_SHADER_INCLUDE_DIR}/context_buffer.hlsli")
  cmake_parse_arguments(ARG "" "NAMESPACE" "SOURCES" ${ARGN})
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}")
  file(MAKE_DIRECTORY "${out_dir}")
  set(generated "")
  set(names "")
  foreach(source IN LISTS ARG_SOURCES)
    get_filename_component(name "${source}" NAME_WE)
    get_filename_component(source_dir "${source}" DIRECTORY)
    if(name MATCHES "_vs$")
      set(stage vert)
      set(stage_name Vertex)
      set(entry vertex_main)
    elseif(name MATCHES "_ps$")
      set(stage frag)
      set(stage_name Pixel)
      set(entry pixel_main)
    elseif(name MATCHES "_cs$")
      set(stage comp)
      set(stage_name Compute)
      set(entry kernel_main)
    else()
      message(FATAL_ERROR "${source}: a program's file name ends in _vs, _ps or _cs")
    endif()
    set(spv "${out_dir}/${name}.spv")
    set(reflection "${out_dir}/${name}.json")
    set(cpp "${out_dir}/${name}.cpp")
    # SPIR-V 1.3 (Vulkan 1.1 environment): this glslang still marks structured buffers with
    # BufferBlock, which newer SPIR-V versions reject. Register mapping shared by all programs: s# and b# keep their numbers, t# moves to 16+,
    # u# to 32+ (the HLSL register-space mapper is needed for the u# shift to apply to
    # RWStructuredBuffer as well as RWTexture). SV_Position.w in pixel programs keeps its
    # Direct3D meaning (w, not 1/w).
    # glslang's depfile names the .spv, so the .spv is the rule's first output: the included .hlsli
    # files the depfile lists become dependencies of the rule only through that name.
    add_custom_command(
      OUTPUT "${spv}" "${cpp}"
      COMMAND "${GLSLANG_VALIDATOR}" -D -V --quiet --target-env vulkan1.1 -S ${stage} -e ${entry}
              --hlsl-iomap --shift-texture-binding 16 --shift-ssbo-binding 16 --shift-uav-binding 32
              --hlsl-dx-position-w -I${MIRELANDT_SHADER_INCLUDE_DIR} -I${source_dir}
              --depfile "${spv}.d" -o "${spv}" "${source}"
      COMMAND "${SPIRV_VAL}" --target-env vulkan1.1 "${spv}"
      COMMAND "${SPIRV_CROSS}" "${spv}" --reflect --output "${reflection}"
      COMMAND "${CMAKE_COMMAND}" -DNAME=${name} -DSTAGE=${stage_name} -DSPV=${spv} -DREFLECTION=${reflection}
              -DNAMESPACE=${ARG_NAMESPACE} -DOUTPUT=${cpp} -P "${MIRELANDT_SHADER_CMAKE_DIR}/pack_program.cmake"
      DEPENDS "${source}" "${MIRELANDT_CONTEXT_BUFFER_HLSLI}" "${MIRELANDT_SHADER_CMAKE_DIR}/pack_program.cmake"
      DEPFILE "${spv}.d"
      COMMENT "Compiling shader program ${name}"
      VERBATIM)
    list(APPEND generated "${cpp}")
    list(APPEND names "${name}")
  endforeach()

  list(SORT names)
  set(INDEX_NAMESPACE ${ARG_NAMESPACE})
  set(INDEX_DECLARATIONS "")
  set(INDEX_ENTRIES "")
  foreach(name IN LISTS names)
    string(APPEND INDEX_DECLARATIONS "extern const ShaderProgram ${name};\n")
    string(APPEND INDEX_ENTRIES "    &programs::${name},\n")
  endforeach()
  configure_file("${MIRELANDT_SHADER_CMAKE_DIR}/program_index.cpp.in" "${out_dir}/program_index.cpp" @ONLY)

  add_library(${target} STATIC ${generated} "${out_dir}/program_index.cpp")
  target_link_libraries(${target} PUBLIC mirelandt_gpu_interface)
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  add_dependencies(${target} mirelandt_context_buffer)
endfunction()
