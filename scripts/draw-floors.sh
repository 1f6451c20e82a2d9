#!/usr/bin/env bash
# Draws the folders' floors of scripts/floors.txt as an SVG picture: one row a floor, the lowest at the
# bottom, one box a folder with what it holds. The README shows docs/floors.svg, made by this script.
#   draw-floors.sh [OUT.svg]       writes OUT.svg (default: docs/floors.svg)
#   draw-floors.sh --check FILE    fails, saying so, where FILE is not what the table draws
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
table=$root/scripts/floors.txt
check=""
if [ "${1:-}" = --check ]; then
  check=${2:?usage: draw-floors.sh --check FILE}
elif [ $# -gt 1 ]; then
  echo "usage: draw-floors.sh [OUT.svg] | --check FILE" >&2
  exit 2
fi

width=960 rowHeight=62 gap=10 margin=16 top=44
mapfile -t rows < <(grep -vE '^(#|$)' "$table")
height=$((top + ${#rows[@]} * (rowHeight + gap) + margin))
escape() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g' <<<"$1"; }

draw() {
  printf '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" font-family="sans-serif">\n' \
    "$width" "$height" "$width" "$height"
  printf '<rect width="%d" height="%d" fill="#ffffff"/>\n' "$width" "$height"
  printf '<text x="%d" y="26" font-size="15" fill="#222222">A folder includes only from itself and from the floors below it; folders on one floor include none of each other.</text>\n' "$margin"
  local level=0 row y boxes count i x boxWidth name what
  for row in "${rows[@]}"; do
    # The lowest floor is the last row from the top.
    y=$((top + (${#rows[@]} - 1 - level) * (rowHeight + gap)))
    IFS='|' read -r -a boxes <<<"$row"
    count=${#boxes[@]}
    boxWidth=$(((width - 2 * margin - 70 - (count - 1) * gap) / count))
    printf '<text x="%d" y="%d" font-size="13" fill="#666666">floor %d</text>\n' "$margin" $((y + rowHeight / 2 + 5)) "$level"
    for ((i = 0; i < count; i++)); do
      x=$((margin + 70 + i * (boxWidth + gap)))
      name=$(sed -E 's/^ *//; s/:.*//' <<<"${boxes[i]}")
      what=$(sed -E 's/^[^:]*: *//; s/ *$//' <<<"${boxes[i]}")
      printf '<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="#e8eef7" stroke="#4a6fa5"/>\n' \
        "$x" "$y" "$boxWidth" "$rowHeight"
      printf '<text x="%d" y="%d" font-size="16" font-weight="bold" fill="#1d3557" text-anchor="middle">%s/</text>\n' \
        $((x + boxWidth / 2)) $((y + 25)) "$(escape "$name")"
      printf '<text x="%d" y="%d" font-size="%d" fill="#333333" text-anchor="middle">%s</text>\n' \
        $((x + boxWidth / 2)) $((y + 46)) $((count > 2 ? 11 : 13)) "$(escape "$what")"
    done
    level=$((level + 1))
  done
  echo '</svg>'
}

if [ -n "$check" ]; then
  if ! cmp -s <(draw) "$check"; then
    echo "draw-floors: $check is not what scripts/floors.txt draws; run scripts/draw-floors.sh" >&2
    exit 1
  fi
  echo "draw-floors: $check draws the ${#rows[@]} floors of scripts/floors.txt"
  exit 0
fi
out=${1:-$root/docs/floors.svg}
draw >"$out.tmp"
mv "$out.tmp" "$out"
echo "draw-floors: wrote $out"
