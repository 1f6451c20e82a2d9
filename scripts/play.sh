#!/usr/bin/env bash
# Installs what is missing, builds, and runs the intro: in its window where a display exists; otherwise
# rendered offline into mirelandt.mp4 by one capture worker per core, at the largest size that a short
# timing run says will finish in about ten minutes on this machine (an excerpt around the middle when even
# the smallest would not).
set -euo pipefail
started=$(date +%s)
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target mirelandt mirelandt-capture

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec ./build/app/mirelandt
fi

capture=./build/tools/capture/mirelandt-capture
out=$(pwd)/mirelandt.mp4
budget=540 # seconds of timing, rendering and encoding, leaving room for start-up within ten minutes

# A frame costs a fixed part (simulation, passes) plus a part that grows with the pixels, and the capture
# renders in one worker per core; each worker also starts up once (device, programs). Three short runs with
# all the workers tell the three apart: one and three frames a worker at 16x9, three a worker at 320x180.
# They time frames at 30 s, where every pass runs, so the estimate is an upper bound for the whole show.
jobs=$(($(nproc) < 16 ? $(nproc) : 16))
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo "No display: timing a few frames to size the video (a minute or two without a GPU)..."
timed() { # prints the seconds the capture of `$2` frames a worker at size `$1` took
    local t0 to
    t0=$(date +%s.%N)
    to=$(awk -v j="$jobs" -v n="$2" 'BEGIN { printf "%.2f", 30 + n * j / 10 }')
    "$capture" --size "$1" --fps 10 --from 30 --to "$to" --jobs "$jobs" --out "$probe/$1-$2/" >"$probe/log" 2>&1 ||
        { cat "$probe/log" >&2; exit 1; }
    awk -v t0="$t0" -v t1="$(date +%s.%N)" 'BEGIN { print t1 - t0 }'
}
tiny1=$(timed 16x9 1)
tiny3=$(timed 16x9 3)
small3=$(timed 320x180 3)

choice=$(awk -v tiny1="$tiny1" -v tiny3="$tiny3" -v small3="$small3" -v jobs="$jobs" -v budget="$budget" 'BEGIN {
    left = budget - tiny1 - tiny3 - small3
    # Seconds of wall time per frame delivered by all the workers together.
    fixed = (tiny3 - tiny1) / (2 * jobs); if (fixed < 0) fixed = 0
    startup = tiny1 - fixed * jobs; if (startup < 0) startup = 0
    perPixel = (small3 - tiny3) / (3 * jobs) / 57600; if (perPixel < 0) perPixel = 0
    # 15% more for the encoder, 10 s for the music.
    n = split("1280x720:30 960x540:30 640x360:30 640x360:24 480x270:24 320x180:24 320x180:12", options, " ")
    for (i = 1; i <= n; ++i) {
        split(options[i], o, ":"); split(o[1], wh, "x")
        t = startup + 67 * o[2] * (fixed + perPixel * wh[1] * wh[2]) * 1.15 + 10
        if (t <= left) { printf "%s %s 0 67 %d\n", o[1], o[2], t; exit }
    }
    # Not even the smallest whole show fits: an excerpt around 30 s, the middle of the show.
    frame = (fixed + perPixel * 57600) * 1.15
    seconds = (left - startup - 10) / (12 * frame); if (seconds < 0.5) seconds = 0.5; if (seconds > 60) seconds = 60
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
