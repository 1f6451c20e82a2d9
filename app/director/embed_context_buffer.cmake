# Writes the build's context_buffer.hlsli into a C++ source as the string kBuiltContextBufferHlsli, so that
# the director mode compiles programs against the very declaration the build used.
# Inputs: INPUT (the .hlsli), OUTPUT.
file(READ "${INPUT}" text)
if(text MATCHES "\\)hlsli\"")
  message(FATAL_ERROR "${INPUT} holds the raw string's closing delimiter")
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.\nnamespace app {\n\n"
           "extern const char kBuiltContextBufferHlsli[];\n"
           "const char kBuiltContextBufferHlsli[] = R\"hlsli(${text})hlsli\";\n\n} // namespace app\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
