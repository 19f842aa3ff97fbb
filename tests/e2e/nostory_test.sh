#!/usr/bin/env bash
# Started with no story, under a private Xvfb: the window that asks for one at the remembered
# scale, closed with status 0; the last story played remembered, offered there (Enter plays it)
# and played by --last; --last with nothing to play says so in one line.
#   nostory_test.sh ZV_RK CLOSE_WINDOW_TOOL XWATCH_TOOL
# Set RK_E2E_KEEP=1 to keep the screenshots (the folder is printed).
set -u
real_prog=$(realpath "$1")
closer=$(realpath "$2")
xwatch=$(realpath "$3")

work=$(mktemp -d /tmp/rk-nostory-XXXXXX)
work=$(realpath "$work")
# The player as started here, with the arguments in $work/args (start_app passes none).
prog="$work/zv_rk"
printf '#!/bin/sh\nexec "%s" $(cat "%s/args")\n' "$real_prog" "$work" >"$prog"
chmod +x "$prog"
source "$(dirname "$0")/xsession.sh"

trap xsession_cleanup EXIT

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" HOME="$work"
export SDL_AUDIODRIVER=dummy
settings="$XDG_CONFIG_HOME/zv_rk/settings.ini"
mkdir -p "$work/empty" "$work/ends/dat"
printf '#End\r\n' >"$work/ends/dat/1.txt"

shot() { timeout 10 import -window "$1" "$work/$2.png" 2>/dev/null || fail "no screenshot $2"; }
pixel() { convert "$work/$1.png" -format "%[hex:p{$2,$3}]" info:; }
size_of() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p'; }

# --- without a display, as before; a story started is remembered for --last ------------------
echo --last >"$work/args"
(cd "$work/empty" && "$prog" >"$work/out" 2>"$work/err")
[ $? -eq 2 ] || fail "--last with nothing played: not status 2"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "--last with nothing played: $(cat "$work/err")"

(cd "$work/ends" && SDL_VIDEODRIVER=offscreen timeout 120 "$real_prog" 2>>"$work/stderr.txt") ||
    fail "the story in its folder: status $?"
grep -qx "LastStory = $work/ends" "$settings" || fail "the story played is not remembered: $(cat "$settings")"
(cd "$work/empty" && SDL_VIDEODRIVER=offscreen timeout 120 "$prog" 2>>"$work/stderr.txt") ||
    fail "--last: status $?"

# --- the window without a story ---------------------------------------------------------------
xsession_start
echo "--scale 2" >"$work/args"
start_app "$work/empty"
await_window zv_rk || fail "no window asking for a story"
for _ in $(seq 100); do [ "$(size_of "$WINDOW")" = 308x284 ] && break; sleep 0.1; done
[ "$(size_of "$WINDOW")" = 308x284 ] || fail "the window is $(size_of "$WINDOW"), not 308x284"
shot "$WINDOW" asks
[ "$(pixel asks 2 2)" = 444444 ] || fail "not the player's grey: $(pixel asks 2 2)"
[ "$(whites asks 308x168+0+0)" -gt 1000 ] || fail "no text asking for a story"
[ "$(whites asks 308x116+0+168)" -gt 400 ] || fail "the last story is not offered"
# Enter plays it, in the same process: this one ends at its first line.
xdotool mousemove 100 100 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
xdotool mousemove $((X + 150)) $((Y + 140)) key Return || fail "cannot press Return"
expect_clean_exit "Enter on the last story"

echo "" >"$work/args"
start_app "$work/empty"
await_window zv_rk || fail "no window asking for a story"
"$closer" "$DISPLAY" "$WINDOW" || fail "cannot ask the window to close"
expect_clean_exit "closing the window without a story"
xsession_stop

# --- a remembered story that has gone ---------------------------------------------------------
mv "$work/ends" "$work/moved"
echo --last >"$work/args"
(cd "$work/empty" && "$prog" >"$work/out" 2>"$work/err")
[ $? -eq 2 ] || fail "--last with the story gone: not status 2"
grep -q "$work/ends: no longer there" "$work/err" || fail "--last with the story gone: $(cat "$work/err")"
echo "--last $work/moved" >"$work/args"
(cd "$work/empty" && "$prog" >"$work/out" 2>"$work/err")
[ $? -eq 2 ] || fail "--last with a story named too: not status 2"

echo "PASS"
