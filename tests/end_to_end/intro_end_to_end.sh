#!/usr/bin/env bash
# Runs the intro under a virtual X server with SDL's dummy audio driver, lets it play a few seconds,
# ends it from outside (Escape through the X server, SIGTERM, SIGINT) and checks that it exits with
# code 0 after its audio thread ran and was joined (Escape), or within 5 s of the signal with the line
# "mirelandt: stopped by SIGTERM" and 128 + the signal (143, 130), also from the middle of a frame that
# takes far longer (a huge window). Without any audio driver it must run on silently
# (no audio thread), saying that --no-audio plays it silently, and end the same way. Started near the end
# silently in a window it ends by itself; looping, it is still running after the end and ends on SIGTERM,
# also when each lap lasts a fraction of a second. A window without area for a while stops the picture, not
# the show.
set -uo pipefail
# Job control keeps SIGINT at its default in the background intro (a plain script would ignore it there).
set -m
intro=$1
source "$(dirname "$0")/await_exit.sh"
source "$(dirname "$0")/../../scripts/xvfb.sh"
log=$(mktemp)
trap 'kill "${xvfb:-}" 2>/dev/null; rm -f "$log"' EXIT
startXvfb 640x360 || exit 1

run() { # $1: how to end it, $2: SDL audio driver, $3: whether the audio thread must run (yes/no/any), then options
    DISPLAY=$display SDL_AUDIODRIVER=$2 "$intro" "${@:4}" 2>"$log" &
    local pid=$!
    sleep "${wait_seconds:-4}"
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "FAIL: the intro ended by itself (exit $?) before it was asked to"
        return 1
    fi
    local threads audio=no
    threads=$(cat /proc/"$pid"/task/*/comm 2>/dev/null | sort | uniq -c | awk '{ printf "%s%s ", $2, ($1 > 1 ? "x" $1 : "") }')
    [[ $threads == *mirelandt-audio* ]] && audio=yes
    # A looping intro closes and reopens its sound device between laps: there the thread may be between two.
    if [[ $3 != any && $audio != "$3" ]]; then
        echo "FAIL: audio thread running: $audio, expected $3; threads: $threads"
        kill -9 "$pid"
        return 1
    fi
    local asked
    asked=$(date +%s%N)
    case $1 in
    escape) DISPLAY=$display xdotool key Escape ;;
    sigterm) kill -TERM "$pid" ;;
    sigint) kill -INT "$pid" ;;
    esac
    await_exit "$pid" "$1"
    local rc=$? took=$((($(date +%s%N) - asked) / 1000000))
    echo "$1 (audio driver $2${4:+, ${*:4}}): exit code $rc after $took ms; threads while playing: $threads"
    case $1 in
    escape) [[ $rc == 0 ]] ;;
    sigterm) [[ $rc == 143 && $took -lt 5000 ]] && grep -q "^mirelandt: stopped by SIGTERM" "$log" ;;
    sigint) [[ $rc == 130 && $took -lt 5000 ]] && grep -q "^mirelandt: stopped by SIGINT" "$log" ;;
    esac || { cat "$log"; return 1; }
}

# Started near the end in a window, silent on the wall clock: it ends by itself at 67 s.
ends_by_itself() {
    DISPLAY=$display SDL_AUDIODRIVER=none timeout 120 "$intro" --no-audio --window 160x90 --from 61 2>"$log"
    local rc=$?
    echo "--no-audio --window 160x90 --from 61: ended by itself, exit code $rc"
    [[ $rc == 0 ]]
}

# The window's surface has no area from 3 to 10 s of its life (the tests' stand-in for a minimised window,
# which X11 does not give): it says so, presents no frame meanwhile, presents again after it, and the show
# still ends by itself at 67 s with code 0.
without_area() {
    DISPLAY=$display SDL_AUDIODRIVER=none MIRELANDT_TEST_NO_AREA=3,10 timeout 120 "$intro" --no-audio \
        --window 160x90 --from 50 --stats 1 2>"$log"
    local rc=$?
    local counts
    counts=$(awk '/has no area/ { hidden = 1; lost++ }
        /area again/ { hidden = 0; back++ }
        / frames, / { if (hidden) during++; else if (back) after++; else before++ }
        END { printf "%d %d %d %d %d", lost, back, before, during, after }' "$log")
    read -r lost back before during after <<<"$counts"
    echo "no area from 3 to 10 s: exit code $rc; frames presented before $before, while without area" \
        "$during, after $after"
    [[ $rc == 0 && $lost == 1 && $back == 1 && $before -gt 0 && $during == 0 && $after -gt 0 ]] ||
        { cat "$log"; return 1; }
}

# A looping run started a moment before the end laps many times a second; SIGTERM still ends it. A start
# at the end itself would be an empty lap, and is refused.
short_laps() {
    DISPLAY=$display SDL_AUDIODRIVER=none "$intro" --from 67 --loop --no-audio 2>"$log"
    local rc=$?
    echo "--from 67 --loop: exit code $rc, $(head -c 200 "$log")"
    [[ $rc == 2 ]] && wait_seconds=6 run sigterm none any --loop --from 66.9 --no-audio --window 160x90
}

run escape dummy yes && run sigterm dummy yes && run sigint dummy yes && run escape none no &&
    grep -q -- "--no-audio plays the show silently" "$log" && ends_by_itself &&
    wait_seconds=8 run sigterm dummy any --loop --from 64 --window 160x90 && without_area && short_laps &&
    run sigterm none any --no-audio --window 4000x4000 && run sigint none any --no-audio --window 4000x4000
