# Sourced by the end-to-end scripts. await_exit PID HOW: waits for the intro that was asked to end (by HOW)
# to exit and returns its exit code; after 90 s it says so, kills it and returns 1.
await_exit() {
    # A frame of the whole show takes seconds on a CPU renderer, and the one in progress completes first.
    for _ in $(seq 900); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$1" 2>/dev/null; then
        echo "FAIL: still running 90 s after $2"
        kill -9 "$1"
        return 1
    fi
    wait "$1"
}
