#!/usr/bin/env bash
# Packs what the GPU report needs on a machine with a GPU but no packages and no display: the headless
# capture program, the libraries it loads that such a machine may lack (the Vulkan loader, stb, the C++
# runtime), and the report script. The GPU's own Vulkan driver is found there through VK_DRIVER_FILES.
#   make-bundle.sh OUT_DIR [BUILD_DIR]
set -euo pipefail
out=${1:?usage: make-bundle.sh OUT_DIR [BUILD_DIR]}
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$src/build}
capture=$build/tools/capture/mirelandt-capture
[ -x "$capture" ] || { echo "make-bundle: build mirelandt-capture first ($capture)" >&2; exit 2; }
mkdir -p "$out"
cp "$capture" "$src/tools/gpu_report/gpu-report.sh" "$out/"
# The debugging information is most of the program and of no use to a report.
strip --strip-debug "$out/mirelandt-capture"
library() { # the file behind a shared library's name on this machine
  # awk reads the whole list: leaving early would stop ldconfig with SIGPIPE, a failure under pipefail.
  ldconfig -p | awk -v n="$1" '$1 == n && /x86-64/ && !found { print $NF; found = 1 }'
}
for name in libvulkan.so.1 $(ldd "$capture" | awk '/=>/ { print $1 }' | grep -vE '^(libc|libm|libdl|libpthread|librt)\.so'); do
  path=$(library "$name")
  [ -n "$path" ] || { echo "make-bundle: $name not found" >&2; exit 1; }
  cp -L "$path" "$out/$name"
done
echo "bundle: $out, $(du -sh "$out" | cut -f1) ($(ls "$out" | tr '\n' ' '))"
