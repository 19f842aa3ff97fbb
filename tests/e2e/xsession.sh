# Shared by the end-to-end scripts (sourced, not run): a private Xvfb, one stream of events read
# from it, and waits on that stream. The stream carries what rk_xwatch sees on the display (windows
# mapped, unmapped, destroyed; drawing) and the start and end of each program started here, so every
# wait blocks until the event it needs, with a generous limit: slowness never reads as failure,
# while a real hang still fails.
# Before sourcing, set: work (a private scratch folder), prog (the player), xwatch (rk_xwatch).
# Defines fail (override it to add context) and the functions below.

WINDOW_LIMIT=60  # seconds a window may take to appear, and a program to end
STALL_AFTER=3    # a program with no window this long after its start is reported with its stacks

declare -A win_pid=() win_name=() win_time=() exit_status=()
xvfb_pid="" xwatch_pid="" app_pid="" events="" WINDOW="" START_US=0 WINDOW_US=0

fail() {
    echo "FAIL: $*"
    [ -s "$work/stderr.txt" ] && { echo "--- the program's standard error:"; cat "$work/stderr.txt"; }
    exit 1
}

# Ends the session and removes the scratch folder (kept, and named, when RK_E2E_KEEP is set): the
# EXIT trap of the scripts.
xsession_cleanup() {
    xsession_stop
    if [ -n "${RK_E2E_KEEP:-}" ]; then echo "screenshots kept in $work"; else rm -rf "$work"; fi
}

# Microseconds since the epoch, in $1.
now_us() { printf -v "$1" '%s' "${EPOCHREALTIME/./}"; }

# Reads the next event, waiting at most until DEADLINE_US; the fields land in ev_*. Returns 1 at the
# deadline; fails if the stream ends (the X server or its watch is gone).
next_event() {
    local now left limit status
    now_us now
    left=$(($1 - now))
    ((left > 0)) || return 1
    printf -v limit '%d.%06d' $((left / 1000000)) $((left % 1000000))
    IFS=' ' read -r -t "$limit" -u "$events" ev_time ev_kind ev_a ev_b ev_rest
    status=$?
    ((status > 128)) && return 1
    ((status == 0)) || fail "the X server or its watch ended"
    echo "$ev_time $ev_kind $ev_a $ev_b $ev_rest" >>"$work/events.log"
    case $ev_kind in
    map)
        win_pid[$ev_a]=$ev_b
        win_name[$ev_a]=$ev_rest
        win_time[$ev_a]=${ev_time/./}
        ;;
    unmap | destroy) unset "win_pid[$ev_a]" "win_name[$ev_a]" "win_time[$ev_a]" ;;
    exit) exit_status[$ev_a]=$ev_b ;;
    esac
    return 0
}

# Starts Xvfb on a display number it picks itself, and the watch of that display.
xsession_start() {
    mkfifo "$work/displayfd" "$work/events" || fail "cannot make fifos in $work"
    # -noreset: by default the server resets whenever its last client leaves, and closes every
    # connection still being set up at that moment; a program started just then finds no display.
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local display=""
    read -r -t "$WINDOW_LIMIT" display <"$work/displayfd"
    [ -n "$display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$display"
    "$xwatch" "$DISPLAY" >"$work/events" &
    xwatch_pid=$!
    exec {events}<"$work/events"
    local deadline
    now_us deadline
    deadline=$((deadline + WINDOW_LIMIT * 1000000))
    until [ "${ev_kind:-}" = ready ]; do
        next_event "$deadline" || fail "the X watch did not start"
    done
}

xsession_stop() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid"; fi
    if [ -n "$xwatch_pid" ]; then kill "$xwatch_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    app_pid="" xwatch_pid="" xvfb_pid=""
}

# Starts the program in FOLDER, its standard error added to $work/stderr.txt; sets app_pid and
# START_US. Its end comes as an event, with its exit status.
start_app() {
    now_us START_US
    (
        exec {events}<&-
        cd "$1" || exit 1
        "$prog" 2>>"$work/stderr.txt" &
        pid=$!
        echo "$EPOCHREALTIME started $pid" >"$work/events"
        wait "$pid"
        echo "$EPOCHREALTIME exit $pid $?" >"$work/events"
    ) &
    local deadline
    deadline=$((START_US + WINDOW_LIMIT * 1000000))
    app_pid=""
    while [ -z "$app_pid" ]; do
        next_event "$deadline" || fail "the program did not start"
        [ "$ev_kind" = started ] && app_pid=$ev_a
    done
}

# What a process is doing: the stacks of all its threads, its open files, the X window tree.
report_process() {
    echo "--- the threads of process $1:"
    timeout 120 gdb -batch -p "$1" -ex "thread apply all bt" 2>&1 | grep -E '^(Thread|#)'
    echo "--- its open files:"
    ls -l "/proc/$1/fd" 2>&1 | sed 1d
    echo "--- the X window tree:"
    xwininfo -root -tree 2>&1 | sed -n '/child/,$p'
}

# Waits for the program's mapped window titled TITLE (the main window has none); sets WINDOW and
# WINDOW_US, the time from the program's start to the window. Returns 1 if the program ends or the
# limit passes without it. A window that takes longer than STALL_AFTER does not fail here, but the
# stall is reported with the program's stacks: a generous wait must not hide one.
await_window() {
    local want=$1 w stall_at deadline until reported=""
    stall_at=$((START_US + STALL_AFTER * 1000000))
    deadline=$((START_US + WINDOW_LIMIT * 1000000))
    for (( ; ; )); do
        for w in "${!win_pid[@]}"; do
            if [ "${win_pid[$w]}" = "$app_pid" ] && [ "${win_name[$w]}" = "$want" ]; then
                WINDOW=$w
                WINDOW_US=$((win_time[$w] - START_US))
                ((WINDOW_US < 0)) && WINDOW_US=0
                return 0
            fi
        done
        [ -n "${exit_status[$app_pid]:-}" ] && return 1
        until=$deadline
        [ -z "$reported" ] && until=$stall_at
        if ! next_event "$until"; then
            [ "$until" = "$deadline" ] && return 1
            echo "STALL: no window \"$want\" of process $app_pid ${STALL_AFTER} s after its start"
            report_process "$app_pid"
            reported=1
        fi
    done
}

# Waits for the program to end; fails (with its stacks, if it still runs) unless it exits with
# status 0.
expect_clean_exit() {
    local deadline
    now_us deadline
    deadline=$((deadline + WINDOW_LIMIT * 1000000))
    while [ -z "${exit_status[$app_pid]:-}" ]; do
        if ! next_event "$deadline"; then
            report_process "$app_pid"
            fail "$1: the program did not end"
        fi
    done
    local status=${exit_status[$app_pid]}
    app_pid=""
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

# Screenshots of the display's windows into $work, and what they show.
shot() { timeout "$WINDOW_LIMIT" import -window "$1" "$work/$2.png" 2>"$work/import.txt"; }  # import can hang on a window that is gone
pixel() { convert "$work/$1.png" -format "%[hex:p{$2,$3}]" info:; }
# Number of white pixels in a WxH+X+Y region.
whites() { convert "$work/$1.png" -crop "$2" +repage -fill black +opaque white -format "%[fx:round(mean*w*h)]" info:; }

# Takes a screenshot of window $1 as $2 each time something is drawn, until the shell condition
# $3 holds.
wait_for() {
    local window=$1 name=$2 condition=$3 deadline
    now_us deadline
    deadline=$((deadline + WINDOW_LIMIT * 1000000))
    for (( ; ; )); do
        ev_kind=""
        shot "$window" "$name" || fail "$name: no screenshot of window $window: $(cat "$work/import.txt")"
        if eval "$condition"; then return 0; fi
        until [ "$ev_kind" = damage ]; do
            next_event "$deadline" || fail "$name: never true: $condition"
        done
    done
}
