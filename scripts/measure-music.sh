#!/usr/bin/env bash
# Measures a stereo WAV of the intro's music against the levels its mix is made for:
#   scripts/measure-music.sh music.wav
# (render one with: build/tools/music/mirelandt-music render content/music/mirelandt.xm music.wav).
# Prints the integrated loudness (EBU R128, through ffmpeg's ebur128), the loudness of each section of
# the show, the loudness range, sample and true peak, the left/right correlation and side/mid ratio
# (through sox), then PASS or FAIL for each target. Exit code 0 when every target passes, 1 when one
# fails, 2 for a missing tool or a file that cannot be measured.
set -euo pipefail

die() {
  echo "measure-music: $*" >&2
  exit 2
}

[ $# -eq 1 ] || {
  echo "usage: scripts/measure-music.sh FILE.wav" >&2
  exit 2
}
wav=$1
if [ ! -f "$wav" ] || [ ! -r "$wav" ]; then die "cannot read $wav"; fi
for tool in ffmpeg sox awk; do
  command -v "$tool" >/dev/null || die "needs $tool (apt-get install ffmpeg sox)"
done
channels=$(sox --i -c "$wav" 2>/dev/null) || die "$wav is not a sound file sox can read"
[ "$channels" = 2 ] || die "$wav has $channels channels; the intro's music is stereo"
# The sections reach the show's end at 67 s; a shorter file would measure as silence there.
seconds=$(sox --i -D "$wav")
awk -v s="$seconds" 'BEGIN { exit !(s >= 67) }' || die "$wav lasts $seconds s, less than the show's 67 s"

# Sections of the show in seconds (row r plays at r * 60 / 1384 s): name, start, end.
sections=(
  "intro 0 10"
  "groove 11 20"
  "drop 22.2 26"
  "sectionA 27.2 33.3"
  "sectionB 33.3 44.3"
  "beforeBreak 40 44.3"
  "break 44.3 45.8"
  "afterBreak 45.8 50"
  "finale 59.3 67"
)

# ebur128's summary of the whole file, or of [start, end) when given.
ebur128() {
  local trim=""
  [ $# -eq 2 ] && trim="atrim=start=$1:end=$2,asetpts=PTS-STARTPTS,"
  ffmpeg -nostdin -hide_banner -nostats -i "$wav" -af "${trim}ebur128=peak=sample+true:framelog=verbose" \
    -f null - 2>&1 || die "ffmpeg could not measure $wav"
}

# The value after "LABEL:" in the summary's block HEADING (Integrated loudness, Loudness range, ...).
summaryValue() {
  awk -v heading="$2" -v label="$3" '
    /Summary:/ { summary = 1 }
    summary && index($0, heading) { block = 1; next }
    summary && block && $1 == label ":" { print $2; exit }
  ' <<<"$1"
}

# sox's RMS of the file remixed by REMIX (e.g. "1" the left channel, "1v0.5,2v0.5" the mid).
rms() {
  sox "$wav" -n remix "$1" stat 2>&1 | awk '/^RMS +amplitude/ { print $3 }'
}

whole=$(ebur128)
integrated=$(summaryValue "$whole" "Integrated loudness" I)
range=$(summaryValue "$whole" "Loudness range" LRA)
samplePeak=$(summaryValue "$whole" "Sample peak" Peak)
truePeak=$(summaryValue "$whole" "True peak" Peak)
if [ -z "$integrated" ] || [ -z "$truePeak" ]; then die "no loudness summary from ffmpeg for $wav"; fi

# Largest absolute sample value: at 1.0 or above the float mix has clipped (or would, as integers).
maxAbs=$(sox "$wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { a = $3 } /^Minimum amplitude/ { b = -$3 }
  END { print (a > b ? a : b) }')

left=$(rms 1)
right=$(rms 2)
mid=$(rms 1v0.5,2v0.5)
side=$(rms 1v0.5,2v-0.5)
# With M = (L + R) / 2 and S = (L - R) / 2, mean(L R) = mean(M^2) - mean(S^2).
correlation=$(awk -v l="$left" -v r="$right" -v m="$mid" -v s="$side" \
  'BEGIN { printf "%.3f", (l * r > 0) ? (m * m - s * s) / (l * r) : 1 }')
sideMid=$(awk -v m="$mid" -v s="$side" 'BEGIN { printf "%.3f", (m > 0) ? s / m : 0 }')

printf '%-24s %8s LUFS\n' "integrated" "$integrated"
declare -A loud
for s in "${sections[@]}"; do
  read -r name start end <<<"$s"
  summary=$(ebur128 "$start" "$end")
  loud[$name]=$(summaryValue "$summary" "Integrated loudness" I)
  [ -n "${loud[$name]}" ] || die "no loudness summary from ffmpeg for $name of $wav"
  printf '%-24s %8s LUFS\n' "$name $start-$end s" "${loud[$name]}"
done
printf '%-24s %8s LU\n' "loudness range" "$range"
printf '%-24s %8s dBFS (largest |sample| %s)\n' "sample peak" "$samplePeak" "$maxAbs"
printf '%-24s %8s dBTP\n' "true peak" "$truePeak"
printf '%-24s %8s (side/mid RMS %s)\n' "L/R correlation" "$correlation" "$sideMid"

failures=0
# check NAME CONDITION: CONDITION is an awk expression over the variables passed in.
check() {
  local name=$1 condition=$2
  shift 2
  if awk "$@" "BEGIN { exit !($condition) }"; then
    echo "PASS $name"
  else
    echo "FAIL $name"
    failures=$((failures + 1))
  fi
}
echo
check "stereo: L/R correlation <= 0.85" "c <= 0.85" -v c="$correlation"
check "drop at least 3 LU over the intro" "d >= i + 3" -v d="${loud[drop]}" -v i="${loud[intro]}"
check "break at least 6 LU under 40-44.3 s and 45.8-50 s" "k <= b - 6 && k <= a - 6" \
  -v k="${loud[break]}" -v b="${loud[beforeBreak]}" -v a="${loud[afterBreak]}"
loudestOther=$(for s in "${sections[@]}"; do
  read -r name _ <<<"$s"
  [ "$name" = finale ] || echo "${loud[$name]}"
done | sort -g | tail -n 1)
check "finale the loudest section" "f > o" -v f="${loud[finale]}" -v o="$loudestOther"
check "integrated loudness -14 +/- 1 LUFS" "i >= -15 && i <= -13" -v i="$integrated"
check "true peak <= -1 dBTP" "t <= -1" -v t="$truePeak"
check "nothing clipped: every |sample| < 1" "m < 1" -v m="$maxAbs"
[ "$failures" -eq 0 ]
