#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tools and the tests need (run as root).
#   install-deps.sh            the Linux build and its tests
#   install-deps.sh windows    also the Windows cross build and its tests under wine (scripts/windows-tests.sh)
set -euo pipefail
packages=(cmake g++ make glslang-tools spirv-tools spirv-cross libvulkan-dev mesa-vulkan-drivers vulkan-validationlayers
  libsdl2-dev libstb-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool ffmpeg clang clang-tidy libclang-rt-14-dev
  sox fonts-terminus xfonts-terminus zlib1g-dev xmp python3)
if [[ ${1:-} == windows ]]; then
  # googletest: its sources, built for Windows by the cross build.
  packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64 pulseaudio unzip)
fi
missing=()
for p in "${packages[@]}"; do
  [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == 'install ok installed' ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
