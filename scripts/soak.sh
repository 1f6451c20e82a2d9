#!/usr/bin/env bash
# A long run of the intro: looping in a window under its own Xvfb, silent on the wall clock, with the Khronos
# validation layer (synchronisation checks included) on. Prints, every N frames, the frames rendered and the
# resident memory, then the validation messages counted and the exit code on SIGTERM. Fails only on a
# validation message or an exit other than SIGTERM's 143; the memory figures are for the reader.
#   scripts/soak.sh [--shows N] [--from S] [--every N] [--size WxH] [--intro PATH]
set -euo pipefail
cd "$(dirname "$0")/.."
shows=3 from=0 every=50 size=160x90 intro=build/app/mirelandt
while (($#)); do
  case $1 in
  --shows) shows=$2 ;;
  --from) from=$2 ;;
  --every) every=$2 ;;
  --size) size=$2 ;;
  --intro) intro=$2 ;;
  *) echo "usage: scripts/soak.sh [--shows N] [--from S] [--every N] [--size WxH] [--intro PATH]" >&2; exit 2 ;;
  esac
  shift 2
done
[ -x "$intro" ] || { echo "soak: no intro at $intro (build it first)" >&2; exit 2; }

source scripts/xvfb.sh
log=$(mktemp)
trap 'kill "${xvfb:-}" 2>/dev/null; rm -f "$log"' EXIT
startXvfb 640x360

seconds=$(awk -v s="$shows" -v f="$from" 'BEGIN { printf "%d", s * (67 - f) + 0.999 }')
echo "soak: $shows shows from $from s ($seconds s of wall clock) at $size, a report every $every frames"
DISPLAY=$display SDL_AUDIODRIVER=dummy VK_INSTANCE_LAYERS=VK_LAYER_KHRONOS_validation \
  VK_LAYER_ENABLES=VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT \
  "$intro" --loop --no-audio --window "$size" --from "$from" --stats "$every" >"$log" 2>&1 &
pid=$!
shown=0
for ((t = 0; t < seconds; ++t)); do
  sleep 1
  kill -0 "$pid" 2>/dev/null || break
  lines=$(grep -c "frames, resident" "$log" || true)
  if ((lines > shown)); then
    grep "frames, resident" "$log" | sed -n "$((shown + 1)),${lines}p"
    shown=$lines
  fi
done
if kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid"
  rc=0
  wait "$pid" || rc=$?
else
  rc=0
  wait "$pid" || rc=$?
  echo "soak: the intro ended before it was asked to (exit code $rc)"
  rc="$rc (early)"
fi
grep "frames, resident" "$log" | sed -n "$((shown + 1)),\$p"
messages=$(grep -cE "Validation (Error|Warning)|VUID-|SYNC-HAZARD" "$log" || true)
echo "soak: validation messages: $messages"
grep -E "Validation (Error|Warning)|VUID-|SYNC-HAZARD" "$log" | head -n 5 || true
echo "soak: exit code on SIGTERM: $rc"
((messages == 0)) && [[ $rc == 143 ]]
