#!/usr/bin/env bash
# How much of the text layers the cylinder covers: renders stills every quarter second over two seconds
# from FROM, once as the show runs and once with MIRELANDT_NO_CYLINDER=1 (the composite then takes
# nothing from the cylinder chain), and prints for each moment the share of the text layers' lit
# pixels (luma above 0.1 in the render without the cylinder) that the show's render matches within 24
# of 255 levels in every channel. A check for the working notes, not a test.
#   logo-cover.sh CAPTURE_PROGRAM OUT_DIR FROM [WxH]
set -euo pipefail
usage() { echo "usage: logo-cover.sh CAPTURE_PROGRAM OUT_DIR FROM [WxH]" >&2; exit 2; }
(($# == 3 || $# == 4)) && [ -x "$1" ] || usage
capture=$1
out=$2
from=$3
size=${4:-640x360}
[[ $from =~ ^[0-9]+(\.[0-9]+)?$ && $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || usage
mkdir -p "$out"
moments=$(python3 -c "print(' '.join(f'{$from + k / 4:.3f}' for k in range(9)))")
for t in $moments; do
  [ -s "$out/show_$t.png" ] || "$capture" --size "$size" --at "$t" --out "$out/show_$t.png" >/dev/null 2>&1
  [ -s "$out/text_$t.png" ] ||
    MIRELANDT_NO_CYLINDER=1 "$capture" --size "$size" --at "$t" --out "$out/text_$t.png" >/dev/null 2>&1
done

python3 - "$out" $moments <<'EOF'
import os, subprocess, sys
out, moments = sys.argv[1], sys.argv[2:]

def pixels(path):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          check=True, capture_output=True).stdout

worst = 1.0
print(f"text layers' lit pixels that the show matches, from {moments[0]} s")
for t in moments:
    show, text = pixels(os.path.join(out, f"show_{t}.png")), pixels(os.path.join(out, f"text_{t}.png"))
    lit = matched = 0
    for i in range(0, len(text), 3):
        if (0.2126 * text[i] + 0.7152 * text[i + 1] + 0.0722 * text[i + 2]) / 255 <= 0.1:
            continue
        lit += 1
        matched += max(abs(show[i + c] - text[i + c]) for c in range(3)) <= 24
    share = matched / lit if lit else 1.0
    worst = min(worst, share)
    print(f"  {t:>8} s  {lit:7} lit  {share * 100:6.2f} % matched")
print(f"  least: {worst * 100:.2f} %")
EOF
