#!/usr/bin/env bash
# A director session under a virtual X server on a copy of the sources: the key table on disk is read at
# start (one cut short is named by its line, and the built-in keys play until it is saved), a broken key
# table is named by its line and the show goes on, the mended one reloads, a broken program is reported and
# kept, a mended one is swapped in, a header rebuilds every program that reads it (through other headers
# too), the keys move the clock (read from the title bar), the finale loops although the show ends before it
# does, and Escape ends it with exit code 0. A source folder that cannot be watched is one line and exit code 2.
#   director_end_to_end.sh INTRO SOURCE_DIR
set -uo pipefail
intro=$1 source=$2
work=$(mktemp -d)
source "$(dirname "$0")/../../scripts/xvfb.sh"
trap 'kill "${xvfb:-}" 2>/dev/null; [ -n "${pid:-}" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
startXvfb 640x360 || exit 1
mkdir -p "$work/src/content"
cp -r "$source/content/data" "$work/src/content/" && cp -r "$source/shaders" "$work/src/"
log=$work/log
fail() { echo "FAIL: $*"; echo "--- log:"; cat "$log"; exit 1; }

mkdir -p "$work/bare" "$work/odd/content/data/tracks.txt"
bad=("$work/missing" "$intro" "$work/bare" "$work/odd")
if [[ $(id -u) != 0 ]]; then
  cp -r "$work/src" "$work/locked" && chmod 000 "$work/locked" && bad+=("$work/locked")
fi
for folder in "${bad[@]}"; do
  DISPLAY=$display timeout 120 "$intro" --edit --no-audio --source "$folder" >"$work/out" 2>"$log"
  rc=$?
  echo "--source $folder: exit code $rc: $(cat "$log")"
  [[ $rc == 2 && ! -s $work/out && $(wc -l <"$log") == 1 ]] || fail "--source $folder: exit code $rc"
  grep -q "^mirelandt: director mode: cannot watch $folder: " "$log" || fail "--source $folder: no reason"
done
chmod -R u+rwx "$work/locked" 2>/dev/null

tracks=$work/src/content/data/tracks.txt
cp "$tracks" "$work/tracks.good"
# Cut short before its `end` line, the table on disk is refused at start, naming the file and line.
sed -i '/^end$/d' "$tracks"
DISPLAY=$display SDL_AUDIODRIVER=dummy "$intro" --edit --no-audio --window 160x90 --source "$work/src" 2>"$log" &
pid=$!
since=1
for _ in $(seq 1800); do grep -q "^$tracks:[0-9]*: " "$log" && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
echo "start with the end line removed: $(grep "^$tracks:" "$log")"
grep -q "^$tracks:[0-9]*: the table ends before its \`end\` line.*; playing the built-in keys until it is saved\$" "$log" ||
  fail "the table cut short was not refused at start"
kill -9 "$pid"; wait "$pid" 2>/dev/null; pid=
# With one key fewer on disk than built in, the table read at start is the one on disk.
grep -v "^CameraPosX  *14 " "$work/tracks.good" >"$tracks"

DISPLAY=$display SDL_AUDIODRIVER=dummy "$intro" --edit --no-audio --window 160x90 --from 5 --source "$work/src" \
  2>"$log" &
pid=$!

# Waits (frames take seconds on a CPU renderer) until the log, from line $since on, has a line matching $1.
since=1
expect() {
  for _ in $(seq 1800); do tail -n +"$since" "$log" | grep -qE "$1" && { tail -n +"$since" "$log" | grep -E "$1" | tail -n 1; return 0; }; kill -0 "$pid" 2>/dev/null || fail "the intro ended"; sleep 0.1; done
  fail "no line matching '$1' within 180 s"
}
title() { DISPLAY=$display xdotool search --name "Mirelandt director" getwindowname 2>/dev/null | sed -n 1p; }

expect "director mode: watching"
expect "^tracks.txt: read, 1128 keys\$"
# Paused first: on a CPU renderer a frame takes seconds, and the show must not run out meanwhile.
for _ in $(seq 1200); do [ -n "$(title)" ] && break; sleep 0.1; done
echo "title: $(title)"
[[ $(title) != *paused* ]] || fail "paused before Space: $(title)"
DISPLAY=$display xdotool key space
for _ in $(seq 1200); do [[ $(title) == *paused* ]] && break; sleep 0.1; done
[[ $(title) == *paused* ]] || fail "Space did not pause: $(title)"
echo "title: $(title)"

cp "$tracks" "$work/tracks.good"
line=$(grep -n "^CameraPosX" "$tracks" | sed -n 3p | cut -d: -f1)
sed -i "${line}s/hold\$/sideways/" "$tracks"
expect "^$tracks:$line: "
kill -0 "$pid" || fail "the show stopped on a broken key table"
cp "$work/tracks.good" "$tracks"
expect "^tracks.txt: reloaded, [0-9]+ keys"

program=$work/src/shaders/mirror_ps.hlsl
cp "$program" "$work/program.good"
echo "this is not a program" >>"$program"
expect "^mirror_ps: kept the running program: "
cp "$work/program.good" "$program"
expect "^mirror_ps: rebuilt and swapped into [0-9]+ passes"

# The full-screen header reaches mirror_ps and mirror2_ps through mirror.hlsli and the blur programs through
# tilt_shift_blur.hlsli; no other program reads it.
since=$(($(wc -l <"$log") + 1))
readers=(composite_ps dof_blur2_ps dof_blur_ps fullscreen_vs glenz_spheres_ps lamer_ps mirror2_ps mirror_ps output_ps
  output_vs)
echo "// touched" >>"$work/src/shaders/fullscreen.hlsli"
for program in "${readers[@]}"; do expect "^$program: rebuilt and swapped into [0-9]+ passes"; done
sleep 1
rebuilt=$(tail -n +"$since" "$log" | grep -E "^[a-z0-9_]+: (rebuilt|kept)" | cut -d: -f1 | sort | tr '\n' ' ')
[[ $rebuilt == "${readers[*]} " ]] || fail "the header rebuilt: $rebuilt"

DISPLAY=$display xdotool key Home
for _ in $(seq 1200); do [[ $(title) == *" 0.000 s"* ]] && break; sleep 0.1; done
[[ $(title) == *" 0.000 s, row 0,"*paused* ]] || fail "Home did not go to the start: $(title)"
echo "title: $(title)"
DISPLAY=$display xdotool key Right
for _ in $(seq 1200); do [[ $(title) == *" 0.347 s,"* ]] && break; sleep 0.1; done
[[ $(title) == *" 0.347 s,"* ]] || fail "Right did not move a beat: $(title)"
echo "title: $(title)"

# 45 bars on, row 1448 of the finale (rows 1368 to 1546); the show ends at 67 s, in row 1545.
DISPLAY=$display xdotool key --delay 50 --repeat 45 Page_Down
for _ in $(seq 1200); do [[ $(title) == *" row 1448,"* ]] && break; sleep 0.1; done
[[ $(title) == *" 62.775 s, row 1448,"*paused* ]] || fail "Page Down did not move 45 bars: $(title)"
DISPLAY=$display xdotool key l
for _ in $(seq 1200); do [[ $(title) == *"looping finale" ]] && break; sleep 0.1; done
[[ $(title) == *"looping finale" ]] || fail "L did not loop the finale: $(title)"
echo "title: $(title)"
# Paused, four bars on would pass the show's end, where the clock stops: that is where the looped finale
# starts again, although the finale itself ends later, in row 1546.
DISPLAY=$display xdotool key --delay 50 --repeat 4 Page_Down
for _ in $(seq 1200); do [[ $(title) == *" 59.306 s,"* || $(title) == *" 66.999 s,"* ]] && break; sleep 0.1; done
[[ $(title) == *" 59.306 s, row 1368,"*"paused, looping finale" ]] || fail "the finale's loop did not close: $(title)"
echo "title: $(title)"
DISPLAY=$display xdotool key space
for _ in $(seq 1200); do [[ $(title) != *paused* ]] && break; sleep 0.1; done
[[ $(title) != *paused* ]] || fail "Space did not resume: $(title)"
echo "title: $(title)"
# Playing on, the finale comes round again; every frame on the way lies in the finale, its first included.
wrapped=0 last=0
for _ in $(seq 1800); do
  now=$(title)
  [[ $now =~ \ ([0-9]+)\.[0-9]+\ s,\ row\ ([0-9]+), ]] || fail "no time in the title: $now"
  ((BASH_REMATCH[2] >= 1368 && BASH_REMATCH[2] <= 1545)) || fail "looping the finale showed row ${BASH_REMATCH[2]}: $now"
  [[ $now != *paused* ]] || fail "the finale's loop stopped at the show's end: $now"
  ((BASH_REMATCH[1] < last)) && wrapped=1 && break
  last=${BASH_REMATCH[1]}
  sleep 0.1
done
((wrapped)) || fail "the finale did not start again: $now"
echo "title: $now"

DISPLAY=$display xdotool key Escape
for _ in $(seq 900); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 90 s after Escape"
wait "$pid"
rc=$?
pid=
echo "director session: exit code $rc"
[[ $rc == 0 ]]
