#!/usr/bin/env bash
# What software centres read of the player: the AppStream data valid with no warning (pedantic ones
# included), the desktop entry valid, both under one id, the media types the same in both, and the
# screenshot the size the data says.
#   appstream_test.sh SOURCE_DIR
set -u
data=$(realpath "$1")/data
id=io.github.zv_rk.zv_rk
metainfo="$data/$id.metainfo.xml"
desktop="$data/$id.desktop"

fail() { echo "FAIL: $*"; exit 1; }

report=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1) || fail "$report"
echo "$report" | grep -q "^[EWIP]:" && fail "appstreamcli: $report"
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"

tag() { sed -n "s:.*<$1[^>]*>\(.*\)</$1>.*:\1:p" "$metainfo"; }
[ "$(tag id)" = "$id" ] || fail "the component id is $(tag id)"
[ "$(tag launchable)" = "$id.desktop" ] || fail "the launchable is $(tag launchable)"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
[ "$(tag mediatype | sort)" = "$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)" ] ||
    fail "the media types differ between $metainfo and $desktop"

# The screenshot is kept beside the data under the name its address ends with.
shot="$data/$(tag image | sed 's:.*/::')"
size=$(grep -o '<image type="source" width="[0-9]*" height="[0-9]*"' "$metainfo" | grep -o '[0-9]*' | paste -sd x)
[ -f "$shot" ] || fail "no screenshot $shot"
[ "$(identify -format '%wx%h' "$shot")" = "$size" ] || fail "$shot is not $size"
echo "PASS"
