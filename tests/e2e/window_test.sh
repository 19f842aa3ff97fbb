#!/usr/bin/env bash
# The real program in a real X window: a private Xvfb, xdotool for the mouse and keys,
# screenshots (ImageMagick `import`) for what is on screen.
#   window_test.sh ZV_RK CLOSE_WINDOW_TOOL DEMO_FOLDER
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed).
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
demo=$(realpath "$3")

work=$(mktemp -d /tmp/rk-e2e-XXXXXX)
xvfb_pid=""
app_pid=""

cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid"; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
    if [ -n "${RK_E2E_KEEP:-}" ]; then echo "screenshots kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$work/stderr.txt" ] && { echo "--- the program's standard error:"; cat "$work/stderr.txt"; }
    exit 1
}

# --- the X server, on a display number it picks itself -------------------------------------
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER

# --- helpers ------------------------------------------------------------------------------------
start_app() {  # start_app FOLDER
    (cd "$1" && exec "$prog" 2>>"$work/stderr.txt") &
    app_pid=$!
}

# The visible window of the program whose title is $1 (the main window has none).
find_window() {
    local want=$1 w
    for _ in $(seq 200); do
        for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
            if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$want" ]; then
                echo "$w"
                return 0
            fi
        done
        sleep 0.05
    done
    return 1
}

shot() { timeout 5 import -window "$1" "$work/$2.png" 2>/dev/null; }  # import can hang on a window that is gone
pixel() { convert "$work/$1.png" -format "%[hex:p{$2,$3}]" info:; }
# Number of white pixels in a WxH+X+Y region.
whites() { convert "$work/$1.png" -crop "$2" +repage -fill black +opaque white -format "%[fx:round(mean*w*h)]" info:; }
# Number of pure red pixels in the whole picture.
reds() { convert "$work/$1.png" -fill black +opaque red -format "%[fx:round(mean.r*w*h)]" info:; }

# Takes screenshots of window $1 as $2 until the shell condition $3 holds (5 s at most).
wait_for() {
    local window=$1 name=$2 condition=$3
    for _ in $(seq 50); do
        shot "$window" "$name"
        if eval "$condition"; then return 0; fi
        sleep 0.1
    done
    fail "$name: never true: $condition"
}

# Waits for the program to end; fails unless it exits with status 0.
expect_clean_exit() {
    for _ in $(seq 100); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null && fail "$1: the program did not end"
    wait "$app_pid"
    local status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

# Regions of the window, in client pixels. The message label starts at 3, 98; lines are 13 high.
LINE1="148x13+3+98"
LINE2="148x13+3+111"
LINE3="148x13+3+124"
RIGHT_OF_LINE1="40x13+110+98"
CHOICE3="72x13+79+98"

# --- the demo story: lines, a choice, the data menu, closing the window ------------------------
mkdir -p "$work/story"
cp -r "$demo/dat" "$work/story/"
start_app "$work/story"
W=$(find_window "") || fail "no main window"
geometry=$(xdotool getwindowgeometry "$W")
echo "$geometry" | grep -q "Geometry: 154x142" || fail "window size: $geometry"
echo "$geometry" | grep -q "Position: 220,142" || fail "window position: $geometry"

wait_for "$W" start '[ "$(whites start $LINE1)" -gt 0 ] && [ "$(pixel start 2 2)" = 444444 ]'
[ "$(whites start $LINE2)" -eq 0 ] || fail "start: more than one line shown"
[ "$(pixel start 1 140)" = 000000 ] || fail "start: message area is not black"

xdotool mousemove --window "$W" 60 115 click 1
wait_for "$W" line2 '[ "$(whites line2 $LINE2)" -gt 0 ]'
xdotool click 1
wait_for "$W" line3 '[ "$(whites line3 $LINE3)" -gt 0 ]'
# The page is full: the next click plays the whistle, and the line after it starts a new page.
xdotool click 1
wait_for "$W" page2 '[ "$(whites page2 $LINE2)" -eq 0 ] && [ "$(whites page2 $LINE3)" -eq 0 ] && ! cmp -s "$work/page2.png" "$work/line3.png"'
xdotool click 1
wait_for "$W" question '! cmp -s "$work/question.png" "$work/page2.png"'
xdotool click 1
wait_for "$W" menu '[ "$(whites menu $CHOICE3)" -gt 0 ]'

# Highlight follows the mouse: the fourth choice (right column) turns white, then the first.
xdotool mousemove --window "$W" 115 104
wait_for "$W" hot3 '[ "$(pixel hot3 80 99)" = FFFFFF ]'
xdotool mousemove --window "$W" 40 104
wait_for "$W" hot0 '[ "$(pixel hot0 4 99)" = FFFFFF ] && [ "$(pixel hot0 80 99)" = 000000 ]'
xdotool click 1
wait_for "$W" ride '[ "$(whites ride $CHOICE3)" -lt 20 ] && [ "$(whites ride $LINE1)" -gt 0 ] && [ "$(whites ride $RIGHT_OF_LINE1)" -eq 0 ]'

# Right click: the data menu; right click on it: back. Then again, left with Cancel.
xdotool mousemove --window "$W" 50 50 click 3
wait_for "$W" datamenu '[ "$(pixel datamenu 10 40)" = D4D0C8 ] && [ "$(pixel datamenu 2 2)" = 444444 ]'
xdotool mousemove --window "$W" 3 20 click 3
wait_for "$W" back '[ "$(pixel back 10 40)" != D4D0C8 ] && [ "$(pixel back 1 140)" = 000000 ]'
cmp -s "$work/back.png" "$work/ride.png" || fail "back: the game page differs from before the data menu"
xdotool mousemove --window "$W" 50 50 click 3
wait_for "$W" datamenu2 '[ "$(pixel datamenu2 10 40)" = D4D0C8 ]'
xdotool mousemove --window "$W" 76 129 click 1
wait_for "$W" cancelled '[ "$(pixel cancelled 1 140)" = 000000 ]'

# Save to slot 0, play on, load it back: the saved page is on screen again.
[ ! -e "$work/story/save0.dat" ] || fail "a slot exists before any save"
xdotool mousemove --window "$W" 50 50 click 3
wait_for "$W" datamenu3 '[ "$(pixel datamenu3 10 40)" = D4D0C8 ]'
xdotool mousemove --window "$W" 39 41 click 1  # "セーブ ０"
wait_for "$W" saved '[ -f "$work/story/save0.dat" ] && [ "$(pixel saved 1 140)" = 000000 ]'
[ "$(stat -c %s "$work/story/save0.dat")" -eq 2776 ] || fail "saved: the slot is not one 2776-byte record"
cmp -s "$work/saved.png" "$work/cancelled.png" || fail "saved: the game page changed"
xdotool mousemove --window "$W" 60 115 click 1
wait_for "$W" changed '! cmp -s "$work/changed.png" "$work/saved.png"'
xdotool mousemove --window "$W" 50 50 click 3
wait_for "$W" datamenu4 '[ "$(pixel datamenu4 10 40)" = D4D0C8 ]'
xdotool mousemove --window "$W" 116 41 click 1  # "ロード ０", shown now that the slot exists
wait_for "$W" loaded 'cmp -s "$work/loaded.png" "$work/saved.png"'

# Closing the window ends the program cleanly.
"$closer" "$DISPLAY" "$W"
expect_clean_exit "close"

# --- no script: the program's own message box, closed by Return, ends the program ------------
mkdir -p "$work/empty"
start_app "$work/empty"
B=$(find_window "RK") || fail "no message box captioned RK"
shot "$B" missing
[ "$(reds missing)" -eq 0 ] || fail "missing: the box shows a stop sign"
xdotool key --window "$B" Return 2>/dev/null  # the key-up may find the box gone
expect_clean_exit "missing script"

# --- an error while the window is created: reported, and the window still opens --------------
mkdir -p "$work/broken/dat"
printf 'a b c d e f g h i j k l m n o p q\r\n' >"$work/broken/dat/1.txt"  # 17 words: range error
start_app "$work/broken"
B=$(find_window "zv_rk") || fail "no error report captioned zv_rk"
shot "$B" report
[ "$(reds report)" -gt 100 ] || fail "report: no stop sign"
# Closed by its title bar's close button this time: that closes the box, not the program.
"$closer" "$DISPLAY" "$B"
W=$(find_window "") || fail "no main window after the error report"
sleep 0.5
kill -0 "$app_pid" 2>/dev/null || fail "the program ended with the error report"
# Nothing was loaded: the first click ends the story.
xdotool mousemove --window "$W" 60 115 click 1
expect_clean_exit "after the error report"

echo "PASS"
