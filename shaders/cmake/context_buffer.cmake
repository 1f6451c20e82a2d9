# Writes the ContextBuffer declaration every program includes: the frame-context header, then one
# float per sync track in table order, so that track i lands at byte 608 + 4 * i.
# Inputs: TRACK_NAMES (one name per line), OUTPUT.
file(STRINGS "${TRACK_NAMES}" names)
list(LENGTH names count)
if(NOT count EQUAL 104)
  message(FATAL_ERROR "${TRACK_NAMES}: expected 104 track names, found ${count}")
endif()
set(text "// Generated from content/data/track_names.txt; edit the track table, not this file.
#ifndef CONTEXT_BUFFER_HLSLI
#define CONTEXT_BUFFER_HLSLI
cbuffer ContextBuffer : register(b8)
{
    float time;
    uint frame;
    float elapsedTime;
    float aspectRatio;
    float2 resolution;
    float2 invResolution;
    column_major float4x4 viewMatrix;
    column_major float4x4 projectionMatrix;
    column_major float4x4 viewProjectionMatrix;
    column_major float4x4 invViewMatrix;
    column_major float4x4 invProjectionMatrix;
    column_major float4x4 invViewProjectionMatrix;
    column_major float4x4 lastViewMatrix;
    column_major float4x4 lastProjectionMatrix;
    column_major float4x4 lastViewProjectionMatrix;
")
foreach(name IN LISTS names)
  if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "${TRACK_NAMES}: '${name}' is not a usable shader identifier")
  endif()
  string(APPEND text "    float ${name};\n")
endforeach()
string(APPEND text "};\n#endif\n")
# Rewrite only on change so that programs are not rebuilt for nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
