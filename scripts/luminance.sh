#!/usr/bin/env bash
# How bright the show is, section by section: renders a frame every half second (240x135 by default)
# with mirelandt-capture and prints the mean Rec.709 luma (0.2126 R' + 0.7152 G' + 0.0722 B' of the
# stored 8-bit values, scaled to 0-1, averaged over the pixels and then over the frames) of each section,
# with the finale split at 64 s into its climax and the fade, and the share of lit pixels (luma above
# 0.1). A check for the working notes, not a test: the whole show takes a few minutes on a CPU renderer.
#   luminance.sh CAPTURE_PROGRAM OUT_DIR [WxH]
# Frames already under OUT_DIR are measured again rather than rendered again.
set -euo pipefail
usage() { echo "usage: luminance.sh CAPTURE_PROGRAM OUT_DIR [WxH]" >&2; exit 2; }
(($# == 2 || $# == 3)) && [ -x "$1" ] || usage
capture=$1
out=$2
size=${3:-240x135}
[[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || usage
for tool in ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "luminance.sh: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$out"
if ! compgen -G "$out/frame_*.png" >/dev/null; then
  "$capture" --size "$size" --fps 2 --from 0 --to 67 --out "$out/" >/dev/null 2>"$out/capture.log"
  rm -f "$out/music.wav"
fi

python3 - "$out" "$size" <<'EOF'
import glob, os, re, subprocess, sys
out, size = sys.argv[1], sys.argv[2]
width, height = map(int, size.split("x"))
row = 60 / 1384  # seconds per tracker row
sections = [("opening (scroller)", 0, 512 * row), ("drop", 512 * row, 600 * row),
            ("fill", 600 * row, 627 * row), ("section A", 627 * row, 768 * row),
            ("section B", 768 * row, 1024 * row), ("break", 1024 * row, 1056 * row),
            ("final build", 1056 * row, 1368 * row), ("finale to 64 s", 1368 * row, 64.0),
            ("fade 64-67 s", 64.0, 67.0)]
frames = []
for png in sorted(glob.glob(os.path.join(out, "frame_*.png"))):
    n = int(re.search(r"frame_(\d+)", png).group(1))
    rgb = subprocess.run(["ffmpeg", "-v", "error", "-i", png, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         check=True, capture_output=True).stdout
    lumas = [(0.2126 * rgb[i] + 0.7152 * rgb[i + 1] + 0.0722 * rgb[i + 2]) / 255
             for i in range(0, len(rgb), 3)]
    frames.append((n / 2, sum(lumas) / len(lumas), sum(l > 0.1 for l in lumas) / len(lumas)))
print(f"mean luma by section, {len(frames)} frames at {size}, one every 0.5 s")
print(f"  {'section':20} {'seconds':>13} {'frames':>6} {'luma':>7} {'lit':>6}")
for name, start, end in sections:
    inside = [f for f in frames if start <= f[0] < end]
    if not inside:
        continue
    luma = sum(f[1] for f in inside) / len(inside)
    lit = sum(f[2] for f in inside) / len(inside)
    print(f"  {name:20} {start:6.1f}-{end:5.1f} {len(inside):6} {luma:7.3f} {lit * 100:5.1f}%")
EOF
