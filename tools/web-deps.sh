#!/bin/bash
# The libraries the web page links, built with emcc from Debian 12's source packages.
#
# The sources come through a private apt configuration under the cache (its own sources.list with
# deb-src, its own lists and archives): the system's apt set-up is neither read nor changed. Each
# library is installed into its own prefix, $CACHE/<name>-<version>-<hash of its flags>, so a second
# run finds them all and does nothing. The prefixes, in link order, are the one line this script
# writes to its standard output (for CMAKE_FIND_ROOT_PATH).
#
# Builds run under nice with at most $JOBS jobs: the machine is shared.
set -euo pipefail

CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/zv_rk/web"
TOOLS="$(cd "$(dirname "$0")" && pwd)"
JOBS="${JOBS:-2}"
SUITE="${WEB_DEPS_SUITE:-bookworm}"
MIRROR="${WEB_DEPS_MIRROR:-http://deb.debian.org/debian}"
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
# No -pthread: the browser has no threads without cross-origin isolation, which a plain static
# host does not give.
COMMON_CFLAGS="-O2"
NICE="nice -n 19"

mkdir -p "$CACHE"
PREFIXES=()
# Only the prefixes go to the standard output; the builds report on the standard error.
exec 3>&1 1>&2
EMCC_VERSION="$(emcc --version | sed -n 1p)"

# apt with every folder of its own under the cache.
APT_DIR="$CACHE/apt"
AptRun() {
  "$@" -o Dir::Etc::SourceList="$APT_DIR/etc/sources.list" -o Dir::Etc::SourceParts=/dev/null \
    -o Dir::State::Lists="$APT_DIR/lists" -o Dir::Cache="$APT_DIR" \
    -o Dir::State::status="$APT_DIR/status" -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)" -qq
}

AptUpdate() {
  if [ -n "$(ls "$APT_DIR/lists" 2>/dev/null | grep Sources)" ]; then return; fi
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/archives/partial" "$APT_DIR/etc"
  echo "deb-src $MIRROR $SUITE main" >"$APT_DIR/etc/sources.list"
  : >"$APT_DIR/status"
  AptRun apt-get update
}

# The version of source package $1 in the suite.
SourceVersion() {
  AptRun apt-cache showsrc "$1" | sed -n 's/^Version: //p' | head -n 1
}

# Unpacks the upstream tarball of source package $1 into $2 (Debian's patches need tools this
# machine lacks; the upstream code builds as it is).
Unpack() {
  local package="$1" into="$2" downloads="$CACHE/sources/$1"
  mkdir -p "$downloads"
  # Only the upstream tarball is used: a Debian part missing from the mirror does not matter.
  # Asked every time: apt checks what an earlier, perhaps interrupted, run left against the
  # archive's hashes, and fetches only what is missing or wrong.
  (cd "$downloads" && AptRun apt-get source --download-only "$package" >apt.log 2>&1) || true
  if ! ls "$downloads"/*.orig.tar.* >/dev/null 2>&1; then
    cat "$downloads/apt.log" >&2
    echo "web-deps: no source of $package on $MIRROR" >&2
    exit 1
  fi
  rm -rf "$into"
  mkdir -p "$into"
  tar -xf "$(ls "$downloads"/*.orig.tar.* | grep -v '\.asc$' | head -n 1)" -C "$into" --strip-components=1
}

# Sets PREFIX for library $1 (source package $2) built with recipe text $3; returns 1 when it is
# already built.
Prepare() {
  local name="$1" package="$2" recipe="$3" version hash
  AptUpdate
  version="$(SourceVersion "$package" | sed 's/^[0-9]*://; s/[^A-Za-z0-9.+~-]/_/g')"
  hash="$(printf '%s\n' "$EMCC_VERSION" "$COMMON_CFLAGS" "$recipe" "${PREFIXES[@]}" | sha256sum | cut -c1-12)"
  PREFIX="$CACHE/$name-$version-$hash"
  if [ -f "$PREFIX/.done" ]; then
    PREFIXES+=("$PREFIX")
    return 1
  fi
  echo "web-deps: building $name $version" >&2
  rm -rf "$PREFIX"
  SRC="$CACHE/build/$name"
  Unpack "$package" "$SRC"
  return 0
}

Finish() {
  touch "$PREFIX/.done"
  PREFIXES+=("$PREFIX")
  rm -rf "$SRC"
}

# The search paths of every library built so far, for the next one.
RootPath() { local IFS=';'; echo "${PREFIXES[*]}"; }
PkgPath() { local p out=""; for p in "${PREFIXES[@]}"; do out="$out${out:+:}$p/lib/pkgconfig"; done; echo "$out"; }

# CMake projects: source package $2 as library $1, with the CMake options that follow.
CMakeLibrary() {
  local name="$1" package="$2"
  shift 2
  Prepare "$name" "$package" "cmake $*" || return 0
  (cd "$SRC" && EM_PKG_CONFIG_PATH="$(PkgPath)" $NICE emcmake cmake -S . -B build -Wno-dev \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$COMMON_CFLAGS" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_FIND_ROOT_PATH="$(RootPath)" -DBUILD_SHARED_LIBS=OFF "$@" >build.log 2>&1 ||
    { tail -n 40 build.log; exit 1; })
  # With BUILD_TARGETS, those targets one after the other (libarchive's two both write libarchive.a).
  local target
  for target in ${BUILD_TARGETS:-all}; do
    (cd "$SRC" && $NICE cmake --build build -j"$JOBS" --target "$target" >>build.log 2>&1 ||
      { tail -n 40 build.log; exit 1; })
  done
  (cd "$SRC" && cmake --install build >>build.log 2>&1 || { tail -n 40 build.log; exit 1; })
  if [ -n "${PC_FILE:-}" ]; then WritePc $PC_FILE; fi
  Finish
}

# A pkg-config file for library $1 (needing package $2), which the SDL libraries' CMake builds
# install for no emscripten target.
WritePc() {
  mkdir -p "$PREFIX/lib/pkgconfig"
  printf 'prefix=%s\nName: %s\nDescription: %s\nVersion: 0\nRequires: %s\nCflags: -I${prefix}/include/SDL2\nLibs: -L${prefix}/lib -l%s\n' \
    "$PREFIX" "$1" "$1" "$2" "$1" >"$PREFIX/lib/pkgconfig/$1.pc"
}

# Autotools projects: source package $2 as library $1, with the configure options that follow.
ConfigureLibrary() {
  local name="$1" package="$2"
  shift 2
  Prepare "$name" "$package" "configure $* ${EXTRA_CFLAGS:-} ${CONFIGURE_ENV:-}" || return 0
  local includes="" libs="" p
  for p in "${PREFIXES[@]}"; do includes="$includes -I$p/include"; libs="$libs -L$p/lib"; done
  (cd "$SRC" && ${PRE_CONFIGURE:-true} && env ${CONFIGURE_ENV:-} EM_PKG_CONFIG_PATH="$(PkgPath)" \
    CFLAGS="$COMMON_CFLAGS ${EXTRA_CFLAGS:-} $includes" LDFLAGS="$libs" \
    $NICE emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$PREFIX" \
    --disable-shared --enable-static "$@" >build.log 2>&1 || { tail -n 40 build.log; exit 1; })
  # With LIBRARY_FOLDER, only that folder (the library, not its tests) and the pkg-config file.
  if [ -n "${LIBRARY_FOLDER:-}" ]; then
    (cd "$SRC" && $NICE emmake make -j"$JOBS" -C "$LIBRARY_FOLDER" >>build.log 2>&1 &&
      emmake make -C "$LIBRARY_FOLDER" install >>build.log 2>&1 && emmake make install-pkgconfigDATA >>build.log 2>&1 ||
      { tail -n 40 build.log; exit 1; })
  else
    (cd "$SRC" && $NICE emmake make -j"$JOBS" >>build.log 2>&1 && emmake make install >>build.log 2>&1 ||
      { tail -n 40 build.log; exit 1; })
  fi
  # Kept for cairo, whose own is too old to know the wasm32 host.
  if [ -f "$SRC/config.sub" ]; then mkdir -p "$PREFIX/share" && cp "$SRC/config.sub" "$PREFIX/share/"; fi
  Finish
}

# zlib's own configure (Debian's tarball lacks the files its CMake build lists for Windows).
Zlib() {
  Prepare zlib zlib "configure --static" || return 0
  (cd "$SRC" && CFLAGS="$COMMON_CFLAGS" $NICE emconfigure ./configure --static --prefix="$PREFIX" >build.log 2>&1 &&
    $NICE emmake make -j"$JOBS" libz.a >>build.log 2>&1 && emmake make install >>build.log 2>&1 ||
    { tail -n 40 build.log; exit 1; })
  Finish
}

Zlib
CMakeLibrary libpng libpng1.6 -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
# Its size check misreads the wasm object.
CMakeLibrary libjpeg libjpeg-turbo -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DSIZE_T=4 -DHAVE_SIZE_T=TRUE \
  -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/node
CMakeLibrary freetype freetype -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_HARFBUZZ=ON \
  -DFT_DISABLE_PNG=ON -DFT_REQUIRE_ZLIB=ON
CMakeLibrary sdl2 libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_PTHREADS=OFF \
  -DSDL_THREADS=OFF
PC_FILE="SDL2_ttf freetype2,sdl2" CMakeLibrary sdl2_ttf libsdl2-ttf -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_VENDORED=OFF -DSDL2TTF_SAMPLES=OFF
PC_FILE="SDL2_image sdl2" CMakeLibrary sdl2_image libsdl2-image -DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_VENDORED=OFF \
  -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_PNG=OFF -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_TIF=OFF \
  -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JXL=OFF
# Music: MIDI through the mixer's own Timidity (FluidSynth needs glib, which needs libffi, which
# has no wasm32 port); wave files are the mixer's own.
PC_FILE="SDL2_mixer sdl2" CMakeLibrary sdl2_mixer libsdl2-mixer -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VENDORED=OFF \
  -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_MIDI_TIMIDITY=ON -DSDL2MIXER_MIDI_FLUIDSYNTH=OFF \
  -DSDL2MIXER_MIDI_NATIVE=OFF -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF \
  -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_VORBIS=OFF -DSDL2MIXER_CMD=OFF

# GSM 6.10 wave files; the library has a plain Makefile for the host, so it is compiled here.
Gsm() {
  Prepare gsm libgsm "emcc -DNeedFunctionPrototypes=1 -DSASR -DWAV49" || return 0
  local sources=(add code decode long_term lpc preprocess rpe gsm_destroy gsm_decode gsm_encode gsm_explode
    gsm_implode gsm_create gsm_print gsm_option short_term table)
  mkdir -p "$PREFIX/lib" "$PREFIX/include"
  (cd "$SRC" && for s in "${sources[@]}"; do
    $NICE emcc $COMMON_CFLAGS -DNeedFunctionPrototypes=1 -DSASR -DWAV49 -Iinc -c "src/$s.c" -o "src/$s.o" || exit 1
  done && emar rcs "$PREFIX/lib/libgsm.a" src/*.o && cp inc/gsm.h "$PREFIX/include/") || exit 1
  Finish
}

Gsm
LIBRARY_FOLDER=pixman ConfigureLibrary pixman pixman --disable-gtk --disable-libpng --disable-openmp --disable-mmx --disable-sse2 \
  --disable-ssse3 --disable-vmx --disable-arm-simd --disable-arm-neon --disable-arm-iwmmxt --disable-mips-dsp \
  --disable-loongson-mmi --disable-timers
# cairo: the upstream configure knows no wasm32 host (pixman's newer config.sub does), cannot run
# its byte-order test, and has no threads here. Only the library itself is built. Its curves call
# line functions through a pointer of the spline-point signature, which traps in WebAssembly: the
# patch gives them wrappers of the right signature.
Cairo() {
  local patch="$TOOLS/web-deps-cairo.patch"
  local recipe="configure -DCAIRO_NO_MUTEX=1 ax_cv_c_float_words_bigendian=no no-fc no-ft $(sha256sum <"$patch")"
  Prepare cairo cairo "$recipe" || return 0
  patch -d "$SRC" -p1 -s <"$patch"
  local includes="" libs="" p
  for p in "${PREFIXES[@]}"; do includes="$includes -I$p/include"; libs="$libs -L$p/lib"; done
  cp "$PIXMAN_PREFIX/share/config.sub" "$SRC/build/config.sub"
  (cd "$SRC" && ax_cv_c_float_words_bigendian=no EM_PKG_CONFIG_PATH="$(PkgPath)" \
    CFLAGS="$COMMON_CFLAGS -DCAIRO_NO_MUTEX=1 $includes" LDFLAGS="$libs" \
    $NICE emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$PREFIX" --disable-shared \
    --enable-static --disable-xlib --disable-xcb --disable-xlib-xrender --disable-fc --disable-ft \
    --disable-gobject --disable-trace --disable-interpreter --disable-script --disable-ps --disable-pdf \
    --disable-svg --disable-egl --disable-glx --disable-wgl --disable-quartz --disable-win32 \
    --disable-full-testing --disable-symbol-lookup --disable-valgrind --enable-png >build.log 2>&1 &&
    $NICE emmake make -j"$JOBS" -C src >>build.log 2>&1 && emmake make -C src install >>build.log 2>&1 ||
    { tail -n 40 build.log; exit 1; })
  Finish
}

PIXMAN_PREFIX="${PREFIXES[-1]}"
Cairo

# Archives: zip and lzh need nothing beyond zlib; every other filter and format library is off.
BUILD_TARGETS="archive_static archive" CMakeLibrary libarchive libarchive -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF \
  -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_BZip2=OFF \
  -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF -DENABLE_CNG=OFF \
  -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_XATTR=OFF -DENABLE_ACL=OFF -DENABLE_ICONV=OFF \
  -DENABLE_TEST=OFF -DENABLE_INSTALL=ON -DENABLE_WERROR=OFF -DENABLE_ZLIB=ON

# The prefixes, for CMAKE_FIND_ROOT_PATH.
RootPath >&3
