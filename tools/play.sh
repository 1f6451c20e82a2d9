#!/usr/bin/env bash
# Installs what is missing, builds and runs what exists of the intro so far.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
echo "The intro's window and renderer are not built yet; plotting the show's sync tracks instead."
./build/tools/tracks/mirelandt-tracks --plot tracks.png
echo "Wrote $(pwd)/tracks.png"
