#!/usr/bin/env bash
# The show's GPU cost on this machine's Vulkan device: the device and driver, then mirelandt-capture's
# --timings table (mean and maximum milliseconds of every pass and of whole frames) for three excerpts of
# the show, around 5 s, 30 s and 52 s. On a CPU renderer (lavapipe) the figures say nothing about a GPU:
# it stops there with exit code 3 unless --go-on is given.
#   gpu-report.sh [--size WxH] [--seconds S] [--fps N] [--go-on] [--capture PATH]
# Runs from a checkout's build or from the bundle that tools/gpu_report/make-bundle.sh makes (the capture
# program and the libraries it loads beside this script).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
size=1920x1080 seconds=1 fps=30 goOn=no capture=
while (($#)); do
  case $1 in
  --size) size=$2; shift ;;
  --seconds) seconds=$2; shift ;;
  --fps) fps=$2; shift ;;
  --go-on) goOn=yes ;;
  --capture) capture=$2; shift ;;
  *) echo "usage: gpu-report.sh [--size WxH] [--seconds S] [--fps N] [--go-on] [--capture PATH]" >&2; exit 2 ;;
  esac
  shift
done
if [ -z "$capture" ]; then
  for candidate in "$here/mirelandt-capture" "$here/../../build/tools/capture/mirelandt-capture"; do
    [ -x "$candidate" ] && capture=$candidate && break
  done
fi
[ -x "${capture:-}" ] || { echo "gpu-report: no mirelandt-capture found (build it, or give --capture)" >&2; exit 2; }
# In a bundle the Vulkan loader and the C++ runtime travel beside the program.
[ -e "$here/libvulkan.so.1" ] && export LD_LIBRARY_PATH="$here${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$capture" --size 16x9 --at 1 --timings --out "$scratch/probe.png" >"$scratch/probe.txt" 2>&1 ||
  { cat "$scratch/probe.txt" >&2; exit 1; }
device=$(sed -n 's/^GPU time on \(.*\) at 16x9, in milliseconds$/\1/p' "$scratch/probe.txt")
echo "device: $device"
if [[ $device == *llvmpipe* || $device == *lavapipe* || $device == *SwiftShader* ]]; then
  echo "gpu-report: $device renders on the CPU: these figures are a CPU's, not a GPU's"
  [ "$goOn" = yes ] || exit 3
fi
echo "excerpts of $seconds s at $size, $fps frames per second"
start=$(date +%s)
for centre in 5 30 52; do
  from=$(awk -v c="$centre" -v s="$seconds" 'BEGIN { printf "%.3f", c - s / 2 }')
  to=$(awk -v c="$centre" -v s="$seconds" 'BEGIN { printf "%.3f", c + s / 2 }')
  echo
  echo "== around $centre s ($from to $to s)"
  "$capture" --size "$size" --fps "$fps" --from "$from" --to "$to" --timings --out "$scratch/frames-$centre/" \
    2>"$scratch/log" | sed 1d || { cat "$scratch/log" >&2; exit 1; }
done
echo
echo "gpu-report: done in $(($(date +%s) - start)) s"
