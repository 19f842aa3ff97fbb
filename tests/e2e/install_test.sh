#!/usr/bin/env bash
# `make install` with PREFIX and DESTDIR, as a packager runs it, from an existing build: every
# file where a desktop looks for it, the desktop entry valid, the manual page rendered without a
# warning, the icons the sizes their folders say, and the installed program runs.
#   install_test.sh SOURCE_DIR BUILD_DIR
set -u
src=$(realpath "$1")
build=$(realpath "$2")
stage=$(mktemp -d /tmp/rk-install-XXXXXX)
trap 'rm -rf "$stage"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

make -s -C "$src" install-files BUILD_DIR="$build" PREFIX=/usr DESTDIR="$stage" >"$stage.log" 2>&1 ||
    { cat "$stage.log"; rm -f "$stage.log"; fail "make install-files"; }
rm -f "$stage.log"
root="$stage/usr"

prog="$root/games/zv_rk"
id=io.github.zv_rk.zv_rk
[ -x "$prog" ] || fail "no games/zv_rk"
"$prog" --version | grep -q "^zv_rk " || fail "the installed program does not run"
desktop="$root/share/applications/$id.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
grep -q "^Exec=zv_rk %f" "$desktop" || fail "the desktop entry does not open a folder with zv_rk"
for type in inode/directory application/zip application/x-lzh-compressed; do
    grep -q "^MimeType=.*$type;" "$desktop" || fail "the desktop entry does not open $type"
done

for file in metainfo/$id.metainfo.xml zv_rk/demo/dat/1.txt doc/zv-rk/copyright doc/zv-rk/changelog.gz; do
    [ -f "$root/share/$file" ] || fail "no share/$file"
done

for size in 16 24 32 48 64 128 256; do
    icon="$root/share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$icon" ] || fail "no icon $icon"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "$icon is $(identify -format '%wx%h' "$icon")"
done
# The 64-pixel icon is the 32-pixel one with every pixel doubled.
convert "$root/share/icons/hicolor/32x32/apps/$id.png" -scale 200% "$stage/doubled.png"
[ "$(compare -metric AE "$stage/doubled.png" "$root/share/icons/hicolor/64x64/apps/$id.png" null: 2>&1)" = 0 ] ||
    fail "the 64-pixel icon is not the 32-pixel one enlarged"

page="$root/share/man/man6/zv_rk.6.gz"
[ -f "$page" ] || fail "no manual page"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$stage/page.txt")
[ -z "$warnings" ] || fail "man -l warns: $warnings"
# Every option of --help and every key is in the page.
for word in --scale --fullscreen --window --help --version STORY Escape F11 Alt+Enter Ctrl++ "Page Down" settings.ini .lzh XDG_DATA_HOME; do
    grep -q -- "$word" "$stage/page.txt" || fail "the manual page does not mention $word"
done
for option in $("$prog" --help | grep -o -- '--[a-z]*' | sort -u); do
    grep -q -- "$option" "$stage/page.txt" || fail "the manual page does not document $option"
done
echo "PASS"
