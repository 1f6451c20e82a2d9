# Cross-building the 64-bit Windows programs on Debian with mingw-w64 (packages g++-mingw-w64-x86-64-posix
# and wine, see scripts/install-deps.sh). The posix flavour of the compiler has std::thread and std::mutex.
# Test programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Libraries and headers come from the mingw-w64 tree only; programs (shader compilers, wine) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(MIRELANDT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(MIRELANDT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MIRELANDT_WINE}")
endif()
