#!/usr/bin/env bash
# Installs what is missing, builds, and runs the intro: in its window where a display exists; otherwise
# rendered offline into mirelandt.mp4, at the largest size that a short timing run says will finish in
# about ten minutes on this machine (an excerpt from the start when even the smallest size would not).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target mirelandt mirelandt-capture

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec ./build/app/mirelandt
fi

capture=./build/tools/capture/mirelandt-capture
out=$(pwd)/mirelandt.mp4
budget=540 # seconds of rendering and encoding, leaving room for the build within ten minutes

# Five stills across the show at 320x180 (two frames each), less the start-up that a tiny still
# measures, give the cost of a small frame.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo "No display: timing a few frames to size the video..."
still() { "$capture" --size "$1" --at "$2" --out "$probe/$2.png" 2>"$probe/log" || { cat "$probe/log" >&2; exit 1; }; }
t0=$(date +%s.%N)
still 16x9 30
t1=$(date +%s.%N)
for at in 8 20 33 46 60; do still 320x180 "$at"; done
small=$(awk -v t0="$t0" -v t1="$t1" -v t2="$(date +%s.%N)" \
    'BEGIN { c = ((t2 - t1) - 5 * (t1 - t0)) / 10; print (c > 0.001 ? c : 0.001) }')

# Frame cost grows with the pixel count; 15% more for the encoder, 10 s for start-up and the music.
choice=$(awk -v c="$small" -v budget="$budget" 'BEGIN {
    n = split("1280x720:30 960x540:30 640x360:30 640x360:24 480x270:24 320x180:24", options, " ")
    for (i = 1; i <= n; ++i) {
        split(options[i], o, ":"); split(o[1], wh, "x")
        t = 67 * o[2] * c * (wh[1] * wh[2] / 57600) * 1.15 + 10
        if (t <= budget) { printf "%s %s 67 %d\n", o[1], o[2], t; exit }
    }
    seconds = int((budget - 10) / (24 * c * 1.15))
    if (seconds < 1) seconds = 1
    printf "320x180 24 %d %d\n", seconds, budget
}')
read -r size fps to estimate <<<"$choice"
if [[ $to == 67 ]]; then
    echo "Rendering the whole show (67 s) at $size, $fps fps into $out (about $((estimate / 60 + 1)) min)."
else
    echo "Rendering an excerpt, the first $to s of the 67 s show, at $size, $fps fps into $out" \
        "(about $((estimate / 60 + 1)) min; the whole show would not finish in ten minutes here)."
fi
"$capture" --size "$size" --fps "$fps" --from 0 --to "$to" --out "$out"
echo "Wrote $out"
echo "The whole show at full size: $capture --size 1920x1080 --fps 60 --out mirelandt-full.mp4"
