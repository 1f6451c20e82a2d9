#!/usr/bin/env bash
# Proves that leaving out the passes a frame does not use changes nothing: captures the show as PNG frames
# twice with the same program, once as it runs and once with MIRELANDT_NO_PASS_SKIP=1 (every active pass
# runs), compares every frame and the music byte for byte, and prints how many frames it compared, how
# many were identical and whether the music was. Exit code 0 only when there were frames and all of them were identical.
#
# By default the whole show. With --around SECONDS only the moments where SCENE_ONE switches the cylinder
# chain on or off, SECONDS around each switch: the switches are read from the keys of the track table
# (where the value crosses 0.5) and turned into seconds by its tempo line; windows that overlap are joined.
#
#   compare-skipping.sh [--capture PROGRAM] [--size WxH] [--fps N] [--around SECONDS] OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
capture=$here/build/tools/capture/mirelandt-capture
tracks=$here/content/data/tracks.txt
size=160x90
fps=10
around=
usage() {
  echo "usage: compare-skipping.sh [--capture PROGRAM] [--size WxH] [--fps N] [--around SECONDS] OUT_DIR" >&2
  exit 2
}
while (($#)); do
  case $1 in
  --capture | --size | --fps | --around)
    (($# >= 2)) || usage
    case $1 in
    --capture) capture=$2 ;;
    --size) size=$2 ;;
    --fps) fps=$2 ;;
    --around) around=$2 ;;
    esac
    shift 2
    ;;
  -*) usage ;;
  *)
    [ -z "${out:-}" ] || usage
    out=$1
    shift
    ;;
  esac
done
[ -n "${out:-}" ] && [ -x "$capture" ] || usage
[[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ && $fps =~ ^[1-9][0-9]*$ ]] || usage
[[ -z $around || $around =~ ^[0-9]+(\.[0-9]+)?$ ]] || usage

# Every switch of SCENE_ONE as "SECONDS STATE" (1 on, 0 off): the keys whose value crosses 0.5, at the
# seconds of their rows by the table's tempo line.
switches() {
  awk '
    $1 == "tempo" { rowSeconds = 60 / ($2 * $3) }
    $1 == "SCENE_ONE" {
      on = $3 > 0.5
      if (seen && on != wasOn) { printf "%.4f %d\n", $2 * rowSeconds, on; found = 1 }
      seen = 1; wasOn = on
    }
    END { if (!rowSeconds || !found) { print "no tempo line or no SCENE_ONE switch in " FILENAME > "/dev/stderr"; exit 1 } }
  ' "$tracks"
}

# The ranges to capture, one "FROM TO" a line: the whole show, or the windows around the switches.
ranges() {
  if [ -z "$around" ]; then
    echo "0 67"
    return
  fi
  switches | awk -v half="$around" '
    {
      from = $1 - half / 2; to = $1 + half / 2
      if (from < 0) from = 0
      if (NR > 1 && from <= end) { end = to; next }
      if (NR > 1) printf "%.3f %.3f\n", start, end
      start = from; end = to
    }
    END { if (NR) printf "%.3f %.3f\n", start, end }'
}

# The setting must really run every pass: in the middle of the first stretch with SCENE_ONE off, the
# cylinder pass runs with it and is left out without it.
moment=$(switches | awk '$2 == 0 && !off { off = $1; next } off { printf "%.3f", (off + $1) / 2; exit }')
[ -n "$moment" ] || {
  echo "no stretch with SCENE_ONE off in $tracks" >&2
  exit 1
}
cylinderRuns() { "$@" --timings --size "$size" --at "$moment" --out "$out/moment.png" | awk '$1 == "cylinder" && $2 ~ /^[0-9]+$/ { print $2 }'; }
mkdir -p "$out"
left=$(cylinderRuns "$capture")
kept=$(MIRELANDT_NO_PASS_SKIP=1 cylinderRuns "$capture")
echo "cylinder pass at $moment s: runs $left times with skipping, $kept times with MIRELANDT_NO_PASS_SKIP=1"
[[ $left == 0 && $kept -gt 0 ]] || {
  echo "the cylinder pass should run only without skipping there" >&2
  exit 1
}

compared=0
identical=0
music=identical
window=0
while read -r from to; do
  window=$((window + 1))
  echo "frames from $from s to $to s at $size, $fps fps"
  for mode in skipping all; do
    dir=$out/$window-$mode
    rm -rf "$dir"
    setting=$([ $mode = all ] && echo 1 || echo 0)
    MIRELANDT_NO_PASS_SKIP=$setting "$capture" --size "$size" --fps "$fps" --from "$from" --to "$to" \
      --out "$dir/" >/dev/null 2>"$dir.log" || {
      cat "$dir.log" >&2
      exit 1
    }
  done
  # The same frames must exist in both folders; a frame missing from either counts as different.
  for frame in "$out/$window-skipping"/frame_*.png "$out/$window-all"/frame_*.png; do
    [ -e "$frame" ] || continue
    name=$(basename "$frame")
    case $frame in
    "$out/$window-all"/*) [ -e "$out/$window-skipping/$name" ] && continue ;;
    esac
    compared=$((compared + 1))
    if cmp -s "$out/$window-skipping/$name" "$out/$window-all/$name"; then
      identical=$((identical + 1))
    else
      echo "differs: $window-skipping/$name"
    fi
  done
  if ! cmp -s "$out/$window-skipping/music.wav" "$out/$window-all/music.wav"; then
    echo "differs: $window-skipping/music.wav"
    music=different
  fi
done < <(ranges)

echo "frames compared: $compared, identical: $identical; music: $music"
((compared > 0 && compared == identical)) && [ $music = identical ]
