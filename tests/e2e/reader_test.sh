#!/usr/bin/env bash
# The reader's features in a real X window: the wheel looks back and goes on, Ctrl+C puts the page
# on the desktop's clipboard, F12 writes a screenshot into the pictures folder user-dirs.dirs names.
#   reader_test.sh ZV_RK CLOSE_WINDOW_TOOL XWATCH_TOOL
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed).
set -u
prog=$(realpath "$1")
closer=$(realpath "$2")
xwatch=$(realpath "$3")

work=$(mktemp -d /tmp/rk-e2e-reader-XXXXXX)
source "$(dirname "$0")/xsession.sh"

trap xsession_cleanup EXIT

xsession_start
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
export SDL_MOUSE_FOCUS_CLICKTHROUGH=1
# The player's folders, and the pictures folder it is told of, are the test's own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.state"
export XDG_DATA_HOME="$work/home/.data"
mkdir -p "$XDG_CONFIG_HOME"
echo 'XDG_PICTURES_DIR="$HOME/Bilder"' >"$XDG_CONFIG_HOME/user-dirs.dirs"

# Polls (the title and the clipboard send no event we watch) until the shell condition $2 holds.
poll_for() {
    local what=$1 condition=$2
    for ((i = 0; i < 100; i++)); do
        if eval "$condition"; then return 0; fi
        sleep 0.1
    done
    fail "$what: never true: $condition"
}

LINE1="148x13+3+98"
LINE2="148x13+3+111"

mkdir -p "$work/story/dat"
printf 'one\r\ntwo\r\nA&&B&c\r\nfour\r\n' >"$work/story/dat/1.txt"
start_app "$work/story"
find_window() {
    await_window "" || fail "no main window"
    W=$WINDOW
}
find_window
wait_for "$W" start '[ "$(whites start $LINE1)" -gt 0 ]'

# The wheel turned down on the current page goes on, as a click does.
xdotool mousemove --window "$W" 60 50 click 5
wait_for "$W" line2 '[ "$(whites line2 $LINE2)" -gt 0 ]'
xdotool click 5
wait_for "$W" page1 '! cmp -s "$work/page1.png" "$work/line2.png"'
xdotool click 5
wait_for "$W" page2 '[ "$(whites page2 $LINE2)" -eq 0 ]'

# Turned up, it shows the page before, as it was drawn, and says so in the title.
xdotool click 4
wait_for "$W" back 'cmp -s <(convert "$work/back.png" rgb:-) <(convert "$work/page1.png" rgb:-)'
poll_for "title while looking back" '[ "$(xdotool getwindowname "$W")" = "zv_rk — 1 page back" ]'

# Ctrl+C copies the page looked at, without the label's markup.
xdotool key ctrl+c
poll_for "the clipboard" '[ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null)" = "$(printf "one\ntwo\nA&Bc")" ]'

# Down again: the current page, the title as before, and the story where it was.
xdotool click 5
wait_for "$W" current 'cmp -s <(convert "$work/current.png" rgb:-) <(convert "$work/page2.png" rgb:-)'
poll_for "title back at the current page" '[ -z "$(xdotool getwindowname "$W")" ]'

# F12: the window as shown, in the pictures folder, and the title says where, for two seconds
# counted from the key (the player has been running longer than that by now).
sleep 2.5
xdotool key F12
poll_for "the screenshot" 'ls "$HOME"/Bilder/zv_rk/story-*.png >/dev/null 2>&1'
png=$(ls "$HOME"/Bilder/zv_rk/story-*.png | head -1)
[ "$(identify -format %wx%h "$png")" = 154x142 ] || fail "screenshot size: $(identify -format %wx%h "$png")"
cmp -s <(convert "$png" rgb:-) <(convert "$work/current.png" rgb:-) || fail "the screenshot differs from the window"
poll_for "title after the screenshot" '[ "$(xdotool getwindowname "$W")" = "zv_rk — saved ~/Bilder/zv_rk/$(basename "$png")" ]'
poll_for "title two seconds later" '[ -z "$(xdotool getwindowname "$W")" ]'

"$closer" "$DISPLAY" "$W" || fail "close: cannot ask the window to close"
expect_clean_exit "close"
echo "PASS"
