#!/usr/bin/env bash
# Installs what is missing, builds, and runs the intro: in its window where a display exists; otherwise
# rendered offline into mirelandt.mp4 by one capture worker per core, at the largest size that a short
# timing run says will finish in about ten minutes on this machine (an excerpt around the middle when even
# the smallest would not).
set -euo pipefail
started=$(date +%s)
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target mirelandt mirelandt-capture

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec ./build/app/mirelandt
fi

capture=./build/tools/capture/mirelandt-capture
out=$(pwd)/mirelandt.mp4
budget=540 # seconds of timing, rendering and encoding, leaving room for start-up within ten minutes

# A frame costs a fixed part (simulation, passes) plus a part that grows with the pixels, and the capture
# renders in one worker per core. Two short runs with all the workers measure both as frames delivered:
# two frames a worker at 16x9, and two a worker at 320x180.
jobs=$(($(nproc) < 16 ? $(nproc) : 16))
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo "No display: timing a few frames to size the video (a minute or two without a GPU)..."
timed() { # prints the seconds the capture with these arguments took
    local t0
    t0=$(date +%s.%N)
    "$capture" "$@" >"$probe/log" 2>&1 || { cat "$probe/log" >&2; exit 1; }
    awk -v t0="$t0" -v t1="$(date +%s.%N)" 'BEGIN { print t1 - t0 }'
}
span=$(awk -v j="$jobs" 'BEGIN { printf "%.2f", 30 + 2 * j / 10 }')
tiny=$(timed --size 16x9 --fps 10 --from 30 --to "$span" --jobs "$jobs" --out "$probe/tiny/")
small=$(timed --size 320x180 --fps 10 --from 30 --to "$span" --jobs "$jobs" --out "$probe/small/")

choice=$(awk -v tiny="$tiny" -v small="$small" -v frames="$((2 * jobs))" -v budget="$budget" 'BEGIN {
    left = budget - tiny - small
    fixed = tiny / frames
    perPixel = (small / frames - fixed) / 57600; if (perPixel < 0) perPixel = 0
    # 15% more for the encoder, 10 s for start-up and the music.
    n = split("1280x720:30 960x540:30 640x360:30 640x360:24 480x270:24 320x180:24 320x180:12", options, " ")
    for (i = 1; i <= n; ++i) {
        split(options[i], o, ":"); split(o[1], wh, "x")
        t = 67 * o[2] * (fixed + perPixel * wh[1] * wh[2]) * 1.15 + 10
        if (t <= left) { printf "%s %s 0 67 %d\n", o[1], o[2], t; exit }
    }
    # Not even the smallest whole show fits: an excerpt around 30 s, the middle of the show.
    frame = (fixed + perPixel * 57600) * 1.15
    seconds = (left - 10) / (12 * frame); if (seconds < 0.5) seconds = 0.5; if (seconds > 60) seconds = 60
    printf "320x180 12 %.2f %.2f %d\n", 30 - seconds / 2, 30 + seconds / 2, left
}')
read -r size fps from to estimate <<<"$choice"
minutes=$((estimate / 60 + 1))
if [[ $to == 67 ]]; then
    echo "Rendering the whole show (67 s) at $size, $fps fps into $out (about $minutes min)."
else
    echo "Rendering an excerpt, $from s to $to s of the 67 s show, at $size, $fps fps into $out" \
        "(about $minutes min; the whole show would take far longer than ten minutes on this machine)."
fi
"$capture" --size "$size" --fps "$fps" --from "$from" --to "$to" --jobs "$jobs" --out "$out"
elapsed=$(($(date +%s) - started))
echo "Wrote $out in $((elapsed / 60)) min $((elapsed % 60)) s (everything this script did, from its start)"
echo "The whole show at full size: $capture --size 1920x1080 --fps 60 --out mirelandt-full.mp4"
