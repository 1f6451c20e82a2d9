#!/usr/bin/env bash
# Times the module player against xmp (Debian's package, nearest-point sampling) on the same modules:
#   bench/music/xmp-ratio.sh [BUILD] [MODULE.xm ...]
# BUILD defaults to build/ and must hold tools/music/mirelandt-music and bench/music/music_bench (a
# build configured with -DMIRELANDT_BENCH=ON). Without modules it times the intro's module and the
# benchmark's busy module (written by music_bench --write-module). Each player renders the whole song to
# /dev/null five times; the best run counts. Prints, per module, the wall-clock seconds of ours and of
# xmp and their ratio, then the same for CPU seconds (user + system), which a loaded machine skews less;
# a row for each mixing tier (MIRELANDT_MIX_TIER: scalar, avx2, avx512), its label naming the tier; a tier
# the CPU lacks is timed as the best it has, and the label says so.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
player=$build/tools/music/mirelandt-music
bench=$build/bench/music/music_bench
[ -x "$player" ] || { echo "xmp-ratio: $player not built" >&2; exit 2; }
command -v xmp >/dev/null || { echo "xmp-ratio: needs xmp (apt-get install xmp)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
modules=("$@")
if [ ${#modules[@]} -eq 0 ]; then
  [ -x "$bench" ] || { echo "xmp-ratio: $bench not built (configure with -DMIRELANDT_BENCH=ON)" >&2; exit 2; }
  "$bench" --write-module "$work/busy.xm"
  modules=("$root/content/music/mirelandt.xm" "$work/busy.xm")
fi

# Best of five runs of the command: "wall cpu" in seconds.
best_of_5() {
  local best_wall=999999 best_cpu=999999 times
  for _ in 1 2 3 4 5; do
    times=$({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1) || {
      echo "xmp-ratio: failed: $*" >&2
      exit 1
    }
    read -r best_wall best_cpu < <(awk -v t="$times" -v w="$best_wall" -v c="$best_cpu" 'BEGIN {
      split(t, f, " "); cpu = f[2] + f[3]
      printf "%.3f %.3f\n", (f[1] < w ? f[1] : w), (cpu < c ? cpu : c) }')
  done
  echo "$best_wall $best_cpu"
}

printf '%-34s %8s %8s %6s   %8s %8s %6s\n' module ours_s xmp_s ratio ours_cpu xmp_cpu ratio
for module in "${modules[@]}"; do
  [ -r "$module" ] || { echo "xmp-ratio: cannot read $module" >&2; exit 2; }
  theirs=$(best_of_5 xmp -i nearest -o /dev/null "$module")
  read -r xmp_wall xmp_cpu <<<"$theirs"
  for tier in scalar avx2 avx512; do
    label="$(basename "$module"), $tier"
    if MIRELANDT_MIX_TIER=$tier "$player" info "$module" 2>&1 >/dev/null | grep -q 'lacks it'; then
      label="$label (lacks it)"
    fi
    ours=$(export MIRELANDT_MIX_TIER=$tier; best_of_5 "$player" render "$module" /dev/null)
    read -r ours_wall ours_cpu <<<"$ours"
    awk -v m="$label" -v ow="$ours_wall" -v xw="$xmp_wall" -v oc="$ours_cpu" -v xc="$xmp_cpu" \
      'function ratio(a, b) { return b > 0 ? sprintf("%6.2f", a / b) : "     -" }
       BEGIN { printf "%-34s %8.3f %8.3f %s   %8.3f %8.3f %s\n", m, ow, xw, ratio(ow, xw), oc, xc, ratio(oc, xc) }'
  done
done
