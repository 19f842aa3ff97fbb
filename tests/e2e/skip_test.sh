#!/usr/bin/env bash
# Skipping what was read, in a real X window with Ctrl held down: a first run of the demo sees its
# lines up to the menu and ends; in a copy of it elsewhere, held Ctrl goes through them to the
# menu. Unread, held Ctrl shows one line and stops. What was read is kept in the state folder,
# never in the story.
#   skip_test.sh ZV_RK CLOSE_WINDOW_TOOL XWATCH_TOOL DEMO_FOLDER
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed).
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
xwatch=$(realpath "$3")
demo=$(realpath "$4")

work=$(mktemp -d /tmp/rk-skip-XXXXXX)
source "$(dirname "$0")/xsession.sh"

cleanup() {
    xdotool keyup ctrl 2>/dev/null
    xsession_cleanup
}
trap cleanup EXIT

xsession_start
export SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
unset SDL_VIDEODRIVER
export SDL_MOUSE_FOCUS_CLICKTHROUGH=1  # as in window_test.sh: xdotool clicks come very soon

# Starts the story copied to folder $1 and waits for its first line; the window lands in $W.
open_story() {
    mkdir -p "$1"
    cp -r "$demo/dat" "$1/"
    start_app "$1"
    await_window "" || fail "$1: no main window"
    W=$WINDOW
    local name
    name=$(basename "$1")
    wait_for "$W" "$name-start" "[ \"\$(whites $name-start \$LINE1)\" -gt 0 ]"
    xdotool mousemove --window "$W" 60 115  # the focus follows the pointer
}
close_story() {
    "$closer" "$DISPLAY" "$W" || fail "$1: cannot ask the window to close"
    expect_clean_exit "$1"
}
hold_ctrl() {
    xdotool keydown ctrl
    sleep "$1"
    xdotool keyup ctrl
}

LINE1="148x13+3+98"
LINE2="148x13+3+111"
LINE3="148x13+3+124"
CHOICE3="72x13+79+98"

# Nothing read yet: held Ctrl shows the next line, which is new, and stops there.
open_story "$work/fresh"
hold_ctrl 1.5
wait_for "$W" fresh-held '[ "$(whites fresh-held $LINE2)" -gt 0 ]'
sleep 0.5
shot "$W" fresh-after
[ "$(whites fresh-after $LINE3)" -eq 0 ] || fail "fresh: held Ctrl went past the first new line"
close_story fresh

# The first reading: every line up to the menu, by clicks.
open_story "$work/first"
for n in 1 2 3 4 5; do
    xdotool click 1
    sleep 0.3
done
wait_for "$W" first-menu '[ "$(whites first-menu $CHOICE3)" -gt 0 ]'
close_story first
ls "$work/state/zv_rk/"*.seen >/dev/null 2>&1 || fail "nothing kept in $work/state/zv_rk"

# A copy elsewhere: held Ctrl passes everything read, up to the menu.
open_story "$work/copy"
hold_ctrl 3
wait_for "$W" copy-menu '[ "$(whites copy-menu $CHOICE3)" -gt 0 ]'
close_story copy
for story in fresh first copy; do
    extra=$(find "$work/$story" ! -path "$work/$story/dat*" ! -path "$work/$story" | head -1)
    [ -z "$extra" ] || fail "$story: the player wrote $extra in the story"
done
echo "PASS"
