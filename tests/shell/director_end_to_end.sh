#!/usr/bin/env bash
# A director session under a virtual X server on a copy of the sources: a broken key table is named by its
# line and the show goes on, the mended one reloads, a broken program is reported and kept, a mended one is
# swapped in, the keys move the clock (read from the title bar), and Escape ends it with exit code 0.
#   director_end_to_end.sh INTRO SOURCE_DIR
set -uo pipefail
intro=$1 source=$2
work=$(mktemp -d)
source "$(dirname "$0")/../../tools/xvfb.sh"
trap 'kill "${xvfb:-}" 2>/dev/null; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
startXvfb 640x360 || exit 1
mkdir -p "$work/src/content"
cp -r "$source/content/data" "$work/src/content/" && cp -r "$source/shaders" "$work/src/"
log=$work/log
DISPLAY=$display SDL_AUDIODRIVER=dummy "$intro" --edit --no-audio --window 160x90 --from 5 --source "$work/src" \
  2>"$log" &
pid=$!

fail() { echo "FAIL: $*"; echo "--- log:"; cat "$log"; exit 1; }
# Waits (frames take seconds on a CPU renderer) until the log has a line matching $1.
expect() {
  for _ in $(seq 1800); do grep -qE "$1" "$log" && { grep -E "$1" "$log" | tail -n 1; return 0; }; kill -0 "$pid" 2>/dev/null || fail "the intro ended"; sleep 0.1; done
  fail "no line matching '$1' within 180 s"
}
title() { DISPLAY=$display xdotool search --name "Mirelandt director" getwindowname 2>/dev/null | sed -n 1p; }

expect "director mode: watching"
# Paused first: on a CPU renderer a frame takes seconds, and the show must not run out meanwhile.
for _ in $(seq 1200); do [ -n "$(title)" ] && break; sleep 0.1; done
echo "title: $(title)"
[[ $(title) != *paused* ]] || fail "paused before Space: $(title)"
DISPLAY=$display xdotool key space
for _ in $(seq 1200); do [[ $(title) == *paused* ]] && break; sleep 0.1; done
[[ $(title) == *paused* ]] || fail "Space did not pause: $(title)"
echo "title: $(title)"

tracks=$work/src/content/data/tracks.txt
cp "$tracks" "$work/tracks.good"
line=$(grep -n "^CameraPosX" "$tracks" | sed -n 3p | cut -d: -f1)
sed -i "${line}s/hold\$/sideways/" "$tracks"
expect "^tracks.txt:$line: "
kill -0 "$pid" || fail "the show stopped on a broken key table"
cp "$work/tracks.good" "$tracks"
expect "^tracks.txt: reloaded, [0-9]+ keys"

program=$work/src/shaders/mirror_ps.hlsl
cp "$program" "$work/program.good"
echo "this is not a program" >>"$program"
expect "^mirror_ps: kept the running program: "
cp "$work/program.good" "$program"
expect "^mirror_ps: rebuilt and swapped into [0-9]+ passes"

DISPLAY=$display xdotool key Home
for _ in $(seq 1200); do [[ $(title) == *" 0.000 s"* ]] && break; sleep 0.1; done
[[ $(title) == *" 0.000 s, row 0,"*paused* ]] || fail "Home did not go to the start: $(title)"
echo "title: $(title)"
DISPLAY=$display xdotool key Right
for _ in $(seq 1200); do [[ $(title) == *" 0.347 s,"* ]] && break; sleep 0.1; done
[[ $(title) == *" 0.347 s,"* ]] || fail "Right did not move a beat: $(title)"
echo "title: $(title)"
DISPLAY=$display xdotool key space
for _ in $(seq 1200); do [[ $(title) != *paused* ]] && break; sleep 0.1; done
[[ $(title) != *paused* ]] || fail "Space did not resume: $(title)"
echo "title: $(title)"

DISPLAY=$display xdotool key Escape
for _ in $(seq 900); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 90 s after Escape"
wait "$pid"
rc=$?
pid=
echo "director session: exit code $rc"
[[ $rc == 0 ]]
