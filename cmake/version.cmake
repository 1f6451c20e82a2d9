# Writes OUTPUT (a header with the project version and the checkout's commit) when it changed. Run at
# every build, so that a new commit shows without a new configure:
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P version.cmake
execute_process(COMMAND git -C "${SOURCE_DIR}" describe --always --dirty --abbrev=12
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR commit STREQUAL "")
  set(commit "unknown commit")
endif()
set(text "// Generated at build time by cmake/version.cmake.\n#pragma once\n\n")
string(APPEND text "#define MIRELANDT_VERSION \"${VERSION}\"\n#define MIRELANDT_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
