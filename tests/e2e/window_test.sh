#!/usr/bin/env bash
# The real program in a real X window: a private Xvfb, xdotool for the mouse and keys,
# screenshots (ImageMagick `import`) for what is on screen. Every wait is for an event (a window
# shown, something drawn, the program's end) with a generous limit (xsession.sh).
#   window_test.sh ZV_RK CLOSE_WINDOW_TOOL XWATCH_TOOL DEMO_FOLDER
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed).
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
xwatch=$(realpath "$3")
demo=$(realpath "$4")

work=$(mktemp -d /tmp/rk-e2e-XXXXXX)
source "$(dirname "$0")/xsession.sh"

trap xsession_cleanup EXIT

xsession_start
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
# Without a window manager the focus follows the pointer, and SDL drops a click that comes within
# 10 ms of its window gaining the focus; xdotool's clicks can come that soon after the pointer
# moves in or a window opens under it, a person's do not.
export SDL_MOUSE_FOCUS_CLICKTHROUGH=1

# --- helpers ------------------------------------------------------------------------------------
slowest_window=0

# The program's window titled $1 (the main window has none) into $W, or fail saying $2.
find_window() {
    if ! await_window "$1"; then
        [ -n "${exit_status[$app_pid]:-}" ] && fail "$2: the program ended with status ${exit_status[$app_pid]}"
        fail "$2 within ${WINDOW_LIMIT} s"
    fi
    W=$WINDOW
    ((WINDOW_US > slowest_window)) && slowest_window=$WINDOW_US
}

# Number of pure red pixels in the whole picture.
reds() { convert "$work/$1.png" -fill black +opaque red -format "%[fx:round(mean.r*w*h)]" info:; }

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
find_window "" "no main window"
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
"$closer" "$DISPLAY" "$W" || fail "close: cannot ask the window to close"
expect_clean_exit "close"

# --- no script in the story's dat folder: the program's own message box, closed by Return, ends
# the program -----------------------------------------------------------------------------------
mkdir -p "$work/noscript/dat"
start_app "$work/noscript"
find_window "RK" "no message box captioned RK"
B=$W
wait_for "$B" missing '[ "$(pixel missing 2 2)" = D4D0C8 ]'
[ "$(reds missing)" -eq 0 ] || fail "missing: the box shows a stop sign"
# xdotool presses the key through XTEST while the box has the focus, but sends the release to the
# box, gone by then; released through XTEST too, or the server holds Return down and repeats it
# into the next program's windows.
xdotool key --window "$B" Return 2>/dev/null
xdotool keyup Return
expect_clean_exit "missing script"

# --- an error while the window is created: reported, and the window still opens --------------
mkdir -p "$work/broken/dat"
printf 'a b c d e f g h i j k l m n o p q\r\n' >"$work/broken/dat/1.txt"  # 17 words: range error
start_app "$work/broken"
find_window "zv_rk" "no error report captioned zv_rk"
B=$W
wait_for "$B" report '[ "$(pixel report 2 2)" = D4D0C8 ]'
[ "$(reds report)" -gt 100 ] || fail "report: no stop sign"
# Closed by its title bar's close button this time: that closes the box, not the program.
"$closer" "$DISPLAY" "$B" || fail "report: cannot ask the box to close"
find_window "" "no main window after the error report"
# Painted means its loop runs on after the report was closed.
wait_for "$W" opened '[ "$(pixel opened 1 140)" = 000000 ]'
[ -z "${exit_status[$app_pid]:-}" ] || fail "the program ended with the error report"
# Nothing was loaded: the first click ends the story.
xdotool mousemove --window "$W" 60 115 click 1
expect_clean_exit "after the error report"

echo "slowest window: $((slowest_window / 1000)) ms from its program's start"
echo "PASS"
