#!/usr/bin/env bash
# The program as a person starts it from a shell or a desktop: the command line's usage errors
# and a story named from elsewhere; then, in a real X window (a private Xvfb with a window
# manager, which full screen needs), the story also played from a ZIP and an LZH, the window at
# 3×, a click and a key there, full screen, and the settings kept for the next start.
#   anywhere_test.sh ZV_RK CLOSE_WINDOW_TOOL DEMO_FOLDER
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed). Waits poll for what they
# wait for, with limits far beyond any slowness, so that only a real hang fails.
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
demo=$(realpath "$3")

work=$(mktemp -d /tmp/rk-anywhere-XXXXXX)
xvfb_pid=""
wm_pid=""
app_pid=""

cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid"; fi
    if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null; wait "$wm_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
    if [ -n "${RK_E2E_KEEP:-}" ]; then echo "screenshots kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$work/stderr.txt" ] && { echo "--- the program's standard error:"; cat "$work/stderr.txt"; }
    exit 1
}

# Never the user's own settings.
export XDG_CONFIG_HOME="$work/config"
settings="$XDG_CONFIG_HOME/zv_rk/settings.ini"
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER DISPLAY WAYLAND_DISPLAY

mkdir -p "$work/story" "$work/empty" "$work/noscript/dat"
cp -r "$demo/dat" "$work/story/"
mkdir -p "$work/ends/dat"
printf '#End\r\n' >"$work/ends/dat/1.txt"

# --- the command line: no display is needed to be told what is wrong --------------------------
# usage_error EXPECTED_WORD ARGS...: status 2, one line on standard error naming the problem.
usage_error() {
    local word=$1
    shift
    "$prog" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq 2 ] || fail "zv_rk $*: status $status, not 2"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "zv_rk $*: not one line on standard error: $(cat "$work/err")"
    grep -q -- "$word" "$work/err" || fail "zv_rk $*: the error does not name $word: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "zv_rk $*: printed on standard output"
}
usage_error --bogus --bogus
usage_error "1 to 8" --scale 9
usage_error "1 to 8" --scale=big "$work/story"
usage_error "$work/empty" "$work/empty"
usage_error "no such" "$work/missing"
usage_error "$work/story/dat/bgm.mid" "$work/story/dat/bgm.mid"

"$prog" --help >"$work/out" 2>"$work/err" || fail "--help: status $?"
grep -q -- "--scale" "$work/out" || fail "--help does not list --scale"
[ ! -s "$work/err" ] || fail "--help wrote to standard error"
"$prog" --version >"$work/out" || fail "--version: status $?"
grep -q "^zv_rk [0-9]" "$work/out" || fail "--version: $(cat "$work/out")"

# A story named from elsewhere in each of its forms is played from its own folder: this one
# ends at its first line (where it not found, the missing-script box would wait for a key).
for given in "$work/ends" "$work/ends/dat" "$work/ends/dat/1.txt" "../ends/"; do
    (cd "$work/empty" && SDL_VIDEODRIVER=offscreen timeout 120 "$prog" "$given" 2>>"$work/stderr.txt")
    status=$?
    [ "$status" -eq 0 ] || fail "zv_rk $given: status $status"
done
# Of all that, only the story played last is remembered.
[ "$(grep -v '^#' "$settings")" = "$(printf '[window]\nLastStory = %s' "$(realpath "$work/ends")")" ] ||
    fail "settings hold more than the last story: $(cat "$settings")"

# --- a real X window --------------------------------------------------------------------------
exec 3>"$work/display"
# Large enough for the 3× window with its frame, which a window manager would otherwise shrink.
# -noreset: the server must not reset (and drop connections being set up) between clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 600); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done

start_app() {  # start_app FOLDER ARGS...
    local folder=$1
    shift
    (cd "$folder" && exec "$prog" "$@" 2>>"$work/stderr.txt") &
    app_pid=$!
}

# The program's main window, once it is visible.
find_window() {
    local w
    for _ in $(seq 600); do
        for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
            if [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ]; then
                echo "$w"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

size_of() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p'; }
wait_for_size() {  # wait_for_size WINDOW WxH
    for _ in $(seq 600); do [ "$(size_of "$1")" = "$2" ] && return 0; sleep 0.1; done
    fail "window size $(size_of "$1"), not $2"
}

# Keys go to the window that has the keyboard focus: give it to window $1 and wait until it has it
# (a window manager hands it over on its own time).
focus() {
    for _ in $(seq 600); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
        xdotool windowactivate "$1" 2>/dev/null
        sleep 0.1
    done
    fail "window $1 never got the keyboard focus"
}
# press WINDOW KEY. The key's release goes through the server too: were it sent to a window that
# is gone by then, the server would hold the key down and repeat it into the next program.
press() { focus "$1" && xdotool key --window "$1" "$2" && xdotool keyup "${2##*+}" 2>/dev/null; }

shot() { timeout 10 import -window "$1" "$work/$2.png" 2>/dev/null; }
pixel() { convert "$work/$1.png" -format "%[hex:p{$2,$3}]" info:; }
whites() { convert "$work/$1.png" -crop "$2" +repage -fill black +opaque white -format "%[fx:round(mean*w*h)]" info:; }
# Number of pixels that differ between two pictures of the same size.
differing() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1; }

wait_for() {  # wait_for WINDOW NAME CONDITION: screenshots until the condition holds
    local window=$1 name=$2 condition=$3
    for _ in $(seq 300); do
        shot "$window" "$name"
        if eval "$condition"; then return 0; fi
        sleep 0.2
    done
    fail "$name: never true: $condition"
}

expect_clean_exit() {
    for _ in $(seq 600); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null && fail "$1: the program did not end"
    wait "$app_pid"
    local status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

# 1×, started in the folder with no arguments, as always: the reference for the larger frames.
start_app "$work/story"
W=$(find_window) || fail "no main window at 1x"
wait_for_size "$W" 154x142
wait_for "$W" one '[ "$(whites one 148x13+3+98)" -gt 0 ] && [ "$(pixel one 2 2)" = 444444 ]'
"$closer" "$DISPLAY" "$W"
expect_clean_exit "1x"

# The same story straight from the archives it could have come in, named from elsewhere: the same
# first frame, pixel for pixel. (jlha writes level-2 LZH headers.)
(cd "$work/story" && python3 -c 'import sys, zipfile, pathlib
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for p in sorted(pathlib.Path("dat").iterdir()): z.write(p, "night train/" + str(p))' "$work/demo.zip") ||
    fail "cannot make the zip"
(cd "$work/story" && lha -a "$work/demo.lzh" dat/* >/dev/null 2>&1) || fail "cannot make the LZH"
for archive in demo.zip demo.lzh; do
    start_app "$work/empty" "$work/$archive"
    W=$(find_window) || fail "no main window for $archive"
    wait_for_size "$W" 154x142
    wait_for "$W" "$archive" '[ "$(differing "$archive" one)" = 0 ]'
    "$closer" "$DISPLAY" "$W"
    expect_clean_exit "$archive"
done
[ -z "$(find "$work/empty" -mindepth 1)" ] || fail "something was written beside the archives' player"

# 3×, named from elsewhere: the same frame, every pixel a 3 × 3 block.
start_app / --scale 3 "$work/story"
W=$(find_window) || fail "no main window at 3x"
wait_for_size "$W" 462x426
convert "$work/one.png" -scale 300% "$work/one-scaled.png"
wait_for "$W" three '[ "$(differing three one-scaled)" = 0 ]'
# A click at the 3× place of the message area shows the second line, in its 3× place.
xdotool mousemove --window "$W" 180 345 click 1
wait_for "$W" click3 '[ "$(whites click3 444x39+9+333)" -gt 0 ]'
# Enter shows the third.
press "$W" Return
wait_for "$W" enter3 '[ "$(whites enter3 444x39+9+372)" -gt 0 ]'
# Full screen: the largest scale that fits 1280 × 1024 is 7; the frame is 1078 × 994, centred on
# black. It is the 3× window's frame, every pixel now a 7 × 7 block.
press "$W" F11
wait_for_size "$W" 1280x1024
wait_for "$W" full '[ "$(pixel full 0 0)" = 000000 ] && [ "$(pixel full 1279 1023)" = 000000 ] && [ "$(pixel full 115 29)" = 444444 ]'
convert "$work/full.png" -crop 1078x994+101+15 +repage "$work/full-frame.png"
convert "$work/full-frame.png" -sample 154x142 "$work/full-one.png"
convert "$work/enter3.png" -sample 154x142 "$work/enter-one.png"
convert "$work/full-one.png" -scale 700% "$work/full-again.png"
[ "$(differing full-one enter-one)" = 0 ] || fail "full screen: the frame differs from the 3x window's"
[ "$(differing full-again full-frame)" = 0 ] || fail "full screen: the frame is not made of 7 x 7 blocks"
"$closer" "$DISPLAY" "$W"
expect_clean_exit "3x"
grep -q "^fullscreen = true" "$settings" || fail "full screen not remembered: $(cat "$settings")"
grep -q "^scale" "$settings" && fail "the scale of the command line was remembered"

# The next start, with no options, is full screen again; --window wins for its run.
start_app "$work/story"
W=$(find_window) || fail "no main window after full screen was remembered"
wait_for_size "$W" 1280x1024
"$closer" "$DISPLAY" "$W"
expect_clean_exit "remembered"
start_app "$work/story" --window
W=$(find_window) || fail "no main window with --window"
wait_for_size "$W" 154x142
# Ctrl++ makes it 2× and is remembered.
press "$W" ctrl+plus
wait_for_size "$W" 308x284
wait_for "$W" two '[ "$(pixel two 4 4)" = 444444 ]'
"$closer" "$DISPLAY" "$W"
expect_clean_exit "ctrl+plus"
grep -q "^scale = 2" "$settings" || fail "Ctrl++ not remembered: $(cat "$settings")"
grep -q "^fullscreen = true" "$settings" || fail "--window was remembered: $(cat "$settings")"

# Started in a story's folder without its script, the missing-script box, before any window: at 3×
# it is 3 times as large.
box_size() {  # box_size ARGS...: the size of the box captioned RK, which Return then closes
    start_app "$work/noscript" "$@"
    local b
    b=$(timeout 120 xdotool search --sync --onlyvisible --name '^RK$' 2>/dev/null | head -1)
    [ -n "$b" ] || fail "no box captioned RK with $*"
    size_of "$b"
    # SDL takes a window's keyboard focus a moment after the window system gives it: until the box
    # has it, a key is not the box's. Return again until the box is gone.
    for _ in $(seq 120); do
        xdotool key --window "$b" Return 2>/dev/null
        for _ in $(seq 10); do
            kill -0 "$app_pid" 2>/dev/null || break 2
            sleep 0.1
        done
    done
    xdotool keyup Return 2>/dev/null
    expect_clean_exit "missing script $*" >&2
}
one_box=$(box_size --scale 1) || fail "1x: $one_box"
three_box=$(box_size --scale 3) || fail "3x: $three_box"
[ "${three_box%x*}" -eq $((3 * ${one_box%x*})) ] && [ "${three_box#*x}" -eq $((3 * ${one_box#*x})) ] ||
    fail "the box is $three_box at 3x, $one_box at 1x"

echo "PASS"
