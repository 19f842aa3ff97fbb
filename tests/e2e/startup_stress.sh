#!/usr/bin/env bash
# Starts and closes the program N times in a row under a private Xvfb, as a person or a test would,
# taking turns between a few small stories, and reports the slowest start (from the start to its
# window on screen) and every stall (no window STALL_AFTER seconds after a start) with the
# program's stacks and the X window tree at that moment. Fails only when a start never shows its
# window within the generous limit, or a program does not end cleanly when its window is closed.
#   startup_stress.sh ZV_RK CLOSE_WINDOW_TOOL XWATCH_TOOL DEMO_FOLDER [N]   (N: 20)
# Run it with N = 500 and the machine kept busy to look for a rare stall.
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
xwatch=$(realpath "$3")
demo=$(realpath "$4")
count=${5:-20}

work=$(mktemp -d /tmp/rk-stress-XXXXXX)
source "$(dirname "$0")/xsession.sh"

cleanup() {
    xsession_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: start $start ($story): $*"
    [ -s "$work/stderr.txt" ] && { echo "--- the program's standard error:"; cat "$work/stderr.txt"; }
    exit 1
}

# The demo (music, pictures, a sound), the same without its music, and plain text.
mkdir -p "$work/demo" "$work/nomusic/dat" "$work/text/dat"
cp -r "$demo/dat" "$work/demo/"
cp -r "$demo/dat" "$work/nomusic/"
grep -av '^#Midi' "$demo/dat/1.txt" >"$work/nomusic/dat/1.txt"
printf 'first line\r\nsecond line\r\nthird line\r\n' >"$work/text/dat/1.txt"
stories=(demo nomusic text)

start=0 story=""
xsession_start
slowest=0 slowest_at="" over2=0 stalls=0
times=()
for ((start = 1; start <= count; start++)); do
    story=${stories[$(((start - 1) % ${#stories[@]}))]}
    : >"$work/stderr.txt"
    start_app "$work/$story"
    await_window "" || fail "no main window after ${WINDOW_LIMIT} s"
    ms=$((WINDOW_US / 1000))
    times+=("$ms")
    ((ms > 2000)) && over2=$((over2 + 1))
    ((ms > STALL_AFTER * 1000)) && stalls=$((stalls + 1))
    if ((ms > slowest)); then
        slowest=$ms
        slowest_at="start $start ($story)"
    fi
    "$closer" "$DISPLAY" "$WINDOW" || fail "cannot ask the window to close"
    expect_clean_exit "close"
done

median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((count + 1) / 2))p")
echo "$count starts: slowest ${slowest} ms ($slowest_at), median ${median} ms, ${over2} over 2 s, ${stalls} stalls"
echo "PASS"
