#!/usr/bin/env bash
# Reads the text pages back from the rendered show with OCR, to check that their lines can be read:
# renders 1280x720 frames of the opening (the credits scroller) and of section B (the title page) with
# mirelandt-capture, runs tesseract on each, and prints for every line that `mirelandt-tracks --reading`
# lists the times at which it was read, then the lines never read. Each line is split into its items
# (the two names of a greetings row, a credit and its name); an item counts as read in a frame when one
# line of the OCR text holds at least 85 % of its letters and digits in order and close together (all
# of them for items of up to six). A check for the working notes, not a test: it needs tesseract-ocr
# and about half an hour of a two-core CPU renderer.
#   ocr-pages.sh BUILD_DIR OUT_DIR [FRAMES_PER_SECOND]
# Frames already under OUT_DIR are read again rather than rendered again.
set -euo pipefail
usage() { echo "usage: ocr-pages.sh BUILD_DIR OUT_DIR [FRAMES_PER_SECOND]" >&2; exit 2; }
(($# == 2 || $# == 3)) && [ -d "$1" ] || usage
build=$(cd "$1" && pwd)
out=$2
fps=${3:-2}
[[ $fps =~ ^[1-9][0-9]?$ ]] || usage
for tool in tesseract ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "ocr-pages.sh: $tool is not installed" >&2; exit 1; }
done
capture=$build/tools/capture/mirelandt-capture
tracks=$build/tools/tracks/mirelandt-tracks
mkdir -p "$out"
"$tracks" --reading >"$out/lines.txt"

# NAME FROM TO: frames NAME/frame_*.png at FROM, FROM + 1/fps, ... before TO, and their OCR text.
readBack() {
  local name=$1 from=$2 to=$3 png
  if ! compgen -G "$out/$name/frame_*.png" >/dev/null; then
    "$capture" --size 1280x720 --fps "$fps" --from "$from" --to "$to" --out "$out/$name/" \
      >/dev/null 2>"$out/$name.log"
    rm -f "$out/$name/music.wav"
  fi
  for png in "$out/$name"/frame_*.png; do
    [ -s "${png%.png}.txt" ] && continue
    # Light text on black reads best to tesseract as dark text on white. Two readings: the middle third
    # of the screen as a block of lines (the sharp band, where the lines are meant to be read, without
    # the block letters above and below that confuse the page layout), and the whole frame as sparse text.
    ffmpeg -v error -y -i "$png" -vf "crop=iw:ih*0.34:0:ih*0.33,format=gray,negate" "${png%.png}.band.png"
    ffmpeg -v error -y -i "$png" -vf negate,format=gray "${png%.png}.neg.png"
    { tesseract "${png%.png}.band.png" - --psm 6 && tesseract "${png%.png}.neg.png" - --psm 11; } \
      2>/dev/null >"${png%.png}.txt"
    rm -f "${png%.png}.band.png" "${png%.png}.neg.png"
  done
}
readBack opening 0 22.5
readBack title 33.5 45.5

python3 - "$out" "$fps" <<'EOF'
import difflib, glob, math, os, re, sys
out, fps = sys.argv[1], int(sys.argv[2])
starts = {"opening": 0.0, "title": 33.5}

def letters(s):
    return re.sub(r"[^a-z0-9]", "", s.lower())

# The lines the reading-time tool lists, page by page, split into items.
pages, page = [], None
for line in open(os.path.join(out, "lines.txt")):
    if not line.startswith(" ") and ":" in line:
        page = (line.split(":")[0], "opening" if "credits" in line else "title", [])
        pages.append(page)
        continue
    m = re.match(r"\s+(\d+)\s+[\d.]+\s+[\d.]+\s+[\d.]+\s+[\d.]+  (.*)$", line)
    if m and page:
        items = [s.strip(" .") for s in re.split(r"\s{3,}|\.{2,}|►", m.group(2))]
        page[2].extend((int(m.group(1)), item) for item in items if len(letters(item)) >= 2)

def found(item, text_lines):
    want = letters(item)
    need = len(want) if len(want) <= 6 else math.ceil(0.85 * len(want))
    for line in text_lines:
        have = letters(line)
        blocks = [b for b in difflib.SequenceMatcher(None, want, have, autojunk=False).get_matching_blocks()
                  if b.size]
        # Enough of the item's characters in order, and close together rather than spread over a
        # longer line that happens to hold them.
        if blocks and sum(b.size for b in blocks) >= need and \
                blocks[-1].b + blocks[-1].size - blocks[0].b <= 1.25 * len(want) + 2:
            return True
    return False

for title, folder, items in pages:
    frames = sorted(glob.glob(os.path.join(out, folder, "frame_*.txt")))
    texts = []
    for f in frames:
        n = int(re.search(r"frame_(\d+)", f).group(1))
        texts.append((n / fps, [l for l in open(f, errors="replace") if l.strip()]))
    print(f"{title}: {len(frames)} frames at 1280x720, every {1 / fps:g} s from {starts[folder]:g} s")
    unread = []
    for row, item in items:
        times = [t for t, lines in texts if found(item, lines)]
        shown = " ".join(f"{t:.1f}" for t in times) if times else "-"
        print(f"  row {row:3}  {item[:44]:44}  {shown}")
        if not times:
            unread.append(f"{row} {item}")
    print(f"  read: {len(items) - len(unread)} of {len(items)} items" +
          (f"; never read: {'; '.join(unread)}" if unread else ""))
EOF
