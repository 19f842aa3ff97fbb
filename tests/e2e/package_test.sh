#!/usr/bin/env bash
# The Debian package made from an existing build: the same files as `make install`, lintian with no
# error or warning, one version everywhere, the files the player opens brought by what it depends
# on, and the program unpacked into a throw-away root runs and finds nothing wrong in its demo.
#   package_test.sh SOURCE_DIR BUILD_DIR
set -u
src=$(realpath "$1")
build=$(realpath "$2")
work=$(mktemp -d /tmp/rk-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/*.deb)

# One list of files: the package holds what `make install` installs, with the same modes.
make -s -C "$src" install-files BUILD_DIR="$build" PREFIX=/usr DESTDIR="$work/stage" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "make install-files"; }
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $6}' | sed 's: \./: /:' | sort >"$work/package.txt"
(cd "$work/stage" && find . -type f -printf '%M /%P\n' | sort) >"$work/install.txt"
diff "$work/install.txt" "$work/package.txt" || fail "the package and make install hold different files"

# Errors and warnings; lintian's informational notes are reported by hand.
lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt"; fail "lintian"; }

dpkg -x "$deb" "$work/root"
version=$(dpkg-deb -f "$deb" Version)
[ "$("$work/root/usr/games/zv_rk" --version)" = "zv_rk $version" ] || fail "--version is not zv_rk $version"
[ "$(dpkg-parsechangelog -l "$src/data/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's last entry is not $version"
grep -q "<release version=\"$version\"" "$work/root/usr/share/metainfo/"*.metainfo.xml ||
    fail "the AppStream data has no release $version"
"$work/root/usr/games/zv_rk" --check "$work/root/usr/share/zv_rk/demo" || fail "--check on the installed demo"

# The face and the soundfont the player opens come from packages it depends on.
depends=$(dpkg-deb -f "$deb" Depends)
for file in /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf /usr/share/sounds/sf2/TimGM6mb.sf2; do
    owner=$(dpkg -S "$file" | cut -d: -f1)
    [[ ", $depends" == *[\ \|]"$owner"[\ ,]* ]] || fail "$file comes from $owner, which the package does not depend on"
done
echo "PASS"
