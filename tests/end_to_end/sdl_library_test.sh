#!/usr/bin/env bash
# The intro finds SDL2 at run time, the copy in the archive's lib/ before the system's. A copy of the intro
# in bin/ of a scratch folder, under a virtual X server, with lib/libSDL2-2.0.so.0 being in turn: a shared
# library without SDL's functions (the intro must stop with one line naming the missing function, exit
# code 1), a file that is no library (the system's SDL2 takes over and the show ends by itself) and a copy
# of the system's SDL2 (the show runs on that copy and ends by itself). The program itself must not name
# SDL2 among the libraries it needs.
set -uo pipefail
intro=$1
system_sdl=$2
source "$(dirname "$0")/../../scripts/xvfb.sh"
scratch=$(mktemp -d)
trap 'kill "${xvfb:-}" 2>/dev/null; rm -rf "$scratch"' EXIT
startXvfb 320x180 || exit 1
mkdir -p "$scratch/bin" "$scratch/lib"
cp "$intro" "$scratch/bin/mirelandt"
bundled=$scratch/lib/libSDL2-2.0.so.0
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

if readelf -d "$intro" | grep -q 'NEEDED.*libSDL2'; then fail "the intro links SDL2: $(readelf -d "$intro" | grep NEEDED)"; fi

# Runs the bundled intro silently from 64 s (it ends by itself at 67 s); sets `rc`, `errors` and `mapped`
# (the SDL2 files the running intro had mapped a second after its start).
run() {
    DISPLAY=$display SDL_AUDIODRIVER=none "$scratch/bin/mirelandt" --no-audio --window 160x90 \
        --from 64 2>"$scratch/errors" &
    local pid=$!
    sleep 1
    mapped=$(grep -o '/[^ ]*libSDL2[^ ]*' /proc/"$pid"/maps 2>/dev/null | sort -u | tr '\n' ' ')
    wait "$pid"
    rc=$?
    errors=$(<"$scratch/errors")
}

libm=$(ldd "$intro" | awk '/libm\.so/ { print $3 }')
cp "$libm" "$bundled"
run
echo "a library without SDL's functions: exit code $rc; stderr: $errors"
[[ $rc == 1 ]] || fail "exit code $rc, expected 1"
[[ $errors == "mirelandt: the SDL2 library lacks SDL_CloseAudioDevice" ]] || fail "stderr: $errors"

echo "not a library" >"$bundled"
run
echo "a file that is no library: exit code $rc; SDL2 mapped: $mapped"
[[ $rc == 0 ]] || fail "exit code $rc, expected 0; stderr: $errors"
[[ -n $mapped && $mapped != *"$bundled"* ]] || fail "the system's SDL2 should stand in (mapped: $mapped)"

cp "$system_sdl" "$bundled"
run
echo "a copy of SDL2: exit code $rc; SDL2 mapped: $mapped"
[[ $rc == 0 ]] || fail "exit code $rc, expected 0; stderr: $errors"
[[ $mapped == *"$bundled"* ]] || fail "the intro did not run on the copy in lib/ (mapped: $mapped)"
exit $status
