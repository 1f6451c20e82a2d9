#!/usr/bin/env bash
# Runs the intro under a virtual X server with SDL's dummy audio driver, lets it play a few seconds,
# ends it from outside (Escape through the X server, then a window-manager-style SIGTERM) and checks
# that it exits with code 0 after its audio thread ran and was joined.
set -uo pipefail
intro=$1
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 640x360x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

run() { # $1: how to end it
    DISPLAY=$display SDL_AUDIODRIVER=dummy "$intro" &
    local pid=$!
    sleep 4
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"; echo "FAIL: the intro ended by itself (exit $?) before it was asked to"; return 1
    fi
    local threads
    threads=$(cat /proc/"$pid"/task/*/comm 2>/dev/null | tr '\n' ' ')
    if [[ $threads != *mirelandt-audio* ]]; then
        echo "FAIL: no audio thread among: $threads"; kill -9 "$pid"; return 1
    fi
    case $1 in
    escape) DISPLAY=$display xdotool key Escape ;;
    sigterm) kill -TERM "$pid" ;;
    esac
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: still running 10 s after $1"; kill -9 "$pid"; return 1
    fi
    wait "$pid"
    local rc=$?
    echo "$1: exit code $rc, threads while playing: $threads"
    [[ $rc == 0 ]]
}

run escape && run sigterm
