#!/usr/bin/env bash
# Re-makes the README's pictures under docs/ with mirelandt-capture: four moments of the show at 640x360.
# On a CPU renderer (lavapipe) each costs some seconds. Run from any folder; builds the capture tool first.
#   BUILD_DIR  the build folder to use (default: build, from the default preset)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
if [ "$build" = build ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$(nproc)" --target mirelandt-capture
fi
capture="$build/tools/capture/mirelandt-capture"
mkdir -p docs
# The moments: the glitching logo page of the drop, the character-art cylinder over the framed backdrop,
# the section B title, and the exploding cylinder mirrored over the backdrop.
for moment in 24 30 40 52; do
  "$capture" --size 640x360 --at "$moment" --out "docs/still-$moment.png"
done
