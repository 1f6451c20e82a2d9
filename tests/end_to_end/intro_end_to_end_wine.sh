#!/usr/bin/env bash
# The Windows intro under wine, on the X display and the sound server named in the environment (as
# scripts/windows-tests.sh sets them up), started with --no-dialog: it plays a few seconds, is ended once by
# Escape through the X server and once by WM_CLOSE sent to its window, and exits with code 0 each time;
# from 60 s it plays to the end. Minimised and restored, it plays on to its end. All of it runs on the
# default renderer (Direct3D 11) and again with --gpu vulkan, and each run's MIRELANDT_GPU_INFO=1 line must
# name the renderer asked for. With --gpu vulkan and no Vulkan driver it says why in one line and exits
# with code 1; without d3d11.dll it falls back to Vulkan, unless --gpu d3d11 asked for Direct3D 11.
#   intro_end_to_end_wine.sh MIRELANDT_EXE CLOSE_INTRO_WINDOW_EXE WINE
set -uo pipefail
intro=$1 closer=$2 wine=$3
source "$(dirname "$0")/await_exit.sh"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The default renderer is the one under test unless --gpu names another.
unset MIRELANDT_GPU MIRELANDT_VULKAN_INFO
export MIRELANDT_GPU_INFO=1
gpu=() renderer=d3d11

# True when the intro's log holds the information line of the renderer under test; else says what it holds.
named_renderer() {
    grep -q "^$renderer: " "$log" && return 0
    echo "FAIL: no '$renderer:' information line: $(grep -E '^(d3d11|vulkan|gpu):' "$log" | tr -d '\r')"
    return 1
}

# Waits up to 60 s for the intro's window to appear; false when the intro ended first.
await_window() { # $1: the intro's process id
    for _ in $(seq 600); do
        xdotool search --name '^Mirelandt$' >/dev/null 2>&1 && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

run() { # $1: how to end it (escape or close)
    "$wine" "$intro" --no-dialog "${gpu[@]}" 2>"$log" &
    local pid=$!
    local shown=no
    await_window "$pid" && shown=yes
    # Frames presented in the window's first moments may be lost: let it play a while.
    sleep 4
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "FAIL: the intro ended by itself (exit $?, window shown: $shown) before it was asked to: $(cat "$log")"
        return 1
    fi
    case $1 in
    escape) xdotool key Escape ;;
    close) "$wine" "$closer" || { echo "FAIL: no window to close"; kill -9 "$pid"; return 1; } ;;
    esac
    await_exit "$pid" "$1"
    local rc=$?
    echo "$renderer, $1: exit code $rc, window shown: $shown"
    [[ $rc == 0 && $shown == yes ]] && named_renderer
}

# The show from 60 s, in a window, to its end.
to_the_end() {
    "$wine" "$intro" --no-dialog "${gpu[@]}" --window 320x180 --from 60 2>"$log"
    local rc=$?
    echo "$renderer, from 60 s to the end: exit code $rc; $(grep "^$renderer: " "$log" | tr -d '\r')"
    [[ $rc == 0 ]] && named_renderer
}

no_vulkan() {
    VK_DRIVER_FILES=/nonexistent VK_ICD_FILENAMES=/nonexistent MIRELANDT_NO_DIALOG=1 "$wine" "$intro" --no-dialog \
        --gpu vulkan 2>"$log"
    local rc=$?
    local lines
    lines=$(grep -c . "$log")
    echo "no Vulkan driver: exit code $rc, stderr: $(cat "$log")"
    [[ $rc == 1 && $lines == 1 ]] && grep -q '^mirelandt: .*Vulkan' "$log"
}

# Without d3d11.dll the default renderer says why in one line and the show runs on Vulkan to its end;
# asked for by --gpu d3d11, it says why and exits with code 1.
no_direct3d() {
    local disabled="d3d11=;${WINEDLLOVERRIDES:-}"
    WINEDLLOVERRIDES=$disabled "$wine" "$intro" --no-dialog --window 200x112 --from 65 --no-audio 2>"$log"
    local rc=$? fallback
    fallback=$(grep -c '^gpu: Direct3D 11 cannot start (d3d11.dll cannot be loaded); trying Vulkan' "$log")
    echo "no d3d11.dll: exit code $rc, $(grep -E '^(gpu|vulkan):' "$log" | tr -d '\r' | tr '\n' ' ')"
    [[ $rc == 0 && $fallback == 1 ]] && grep -q '^vulkan: ' "$log" || return 1
    MIRELANDT_NO_DIALOG=1 WINEDLLOVERRIDES=$disabled "$wine" "$intro" --no-dialog --gpu d3d11 2>"$log"
    rc=$?
    echo "no d3d11.dll, --gpu d3d11: exit code $rc, stderr: $(tr -d '\r' <"$log")"
    [[ $rc == 1 && $(grep -c . "$log") == 1 ]] && grep -q '^mirelandt: d3d11.dll cannot be loaded' "$log"
}

# The window minimised and restored for real, then the tests' stand-in for a surface without area (from 3
# to 10 s of the swap chain's life): each time the show plays on to its end at 67 s with code 0, and frames
# are presented after the window is back. The log keeps what the surface reported.
minimise_restore() { # $1: real or setting
    local setting=
    [[ $1 == setting ]] && setting=3,10
    MIRELANDT_TEST_NO_AREA=$setting "$wine" "$intro" "${gpu[@]}" --window 200x112 --from 48 --no-audio --stats 1 \
        2>"$log" &
    local pid=$!
    await_window "$pid" || { echo "FAIL: no window ($1): $(cat "$log")"; return 1; }
    sleep 2
    local minimised=0 reported=
    if [[ $1 == real ]]; then
        reported=$("$wine" "$closer" minimise) || { echo "FAIL: no window to minimise"; kill -9 "$pid"; return 1; }
        minimised=$(grep -c ' frames, ' "$log")
        sleep 3
        reported+="; "$("$wine" "$closer" restore) || { echo "FAIL: no window to restore"; kill -9 "$pid"; return 1; }
    else
        sleep 4
    fi
    local before
    before=$(grep -c ' frames, ' "$log")
    [[ $1 == real ]] && echo "minimised for 3 s: ${reported//$'\r'/}; frames presented meanwhile: $((before - minimised))"
    await_exit "$pid" "the end of the show"
    local rc=$?
    local after
    after=$(($(grep -c ' frames, ' "$log") - before))
    echo "$renderer, minimised ($1): exit code $rc, frames presented after the restore: $after; the intro said:" \
        "$(grep -i 'area' "$log" | tr '\n' ' ')"
    [[ $rc == 0 && $after -gt 0 ]] || { cat "$log"; return 1; }
    grep -q 'has no area' "$log" && grep -q 'area again' "$log" ||
        { echo "FAIL: the intro did not say that the window lost its area and got it back"; return 1; }
    named_renderer
}

# Each renderer's runs stop at its first failure; the other renderer's still run.
all_runs() {
    run escape && run close && to_the_end && minimise_restore real && minimise_restore setting
}

status=0
all_runs || status=1
gpu=(--gpu vulkan) renderer=vulkan
all_runs || status=1
no_vulkan || status=1
no_direct3d || status=1
exit $status
