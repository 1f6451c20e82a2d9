#!/usr/bin/env bash
# The committed module, rendered by the player, measured by scripts/measure-music.sh: every level the mix is
# made for passes (loudness of the sections, peaks, stereo correlation). The script itself refuses a file
# it cannot judge: a stereo file shorter than the show and a mono one give exit code 2 and no PASS line.
set -uo pipefail
music=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

"$music" render "$root/content/music/mirelandt.xm" "$scratch/song.wav" >/dev/null 2>&1 || fail "render failed"
report=$("$root/scripts/measure-music.sh" "$scratch/song.wav")
rc=$?
echo "$report"
[ "$rc" -eq 0 ] || fail "measure-music.sh exit code $rc"
passes=$(grep -c '^PASS ' <<<"$report")
[ "$passes" -eq 7 ] || fail "$passes of 7 targets pass"

sox -n -r 44100 -c 2 "$scratch/short.wav" synth 2 sine 440 sine 660
sox -n -r 44100 -c 1 "$scratch/mono.wav" synth 70 sine 440
for wav in short mono; do
    out=$("$root/scripts/measure-music.sh" "$scratch/$wav.wav" 2>&1)
    rc=$?
    [ "$rc" -eq 2 ] || fail "$wav.wav: exit code $rc, expected 2"
    grep -q '^measure-music: ' <<<"$out" || fail "$wav.wav: no line saying why: $out"
    if grep -q '^PASS' <<<"$out"; then fail "$wav.wav was judged"; fi
done
exit $status
