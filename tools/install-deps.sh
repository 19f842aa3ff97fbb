#!/usr/bin/env bash
# Installs the Debian packages the player and its tests need. Safe to run again:
# when everything is already there it only asks dpkg and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git clang-format
  clang libclang-rt-14-dev
  libgtest-dev
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libsdl2-mixer-dev
  libfluidsynth-dev timgm6mb-soundfont
  libfontconfig-dev fonts-ipafont-gothic
  libjpeg-dev libjpeg-turbo-progs
  libgsm1-dev libmp3lame-dev
  libcairo2-dev
  libx11-dev libxdamage-dev xvfb xauth xdotool imagemagick x11-utils gdb openbox
  libcli11-dev libinih-dev
  libarchive-dev zlib1g-dev jlha-utils python3 fonts-liberation2
  desktop-file-utils man-db groff-base graphviz
  dpkg-dev fakeroot file lintian appstream xclip
)

# The web page's build and its test ("web" as the first argument): emscripten, and Chromium with
# node to drive it.
# A node from elsewhere (NodeSource's carries its own npm) is used as it is.
if [ "${1:-}" = "web" ]; then
  PACKAGES+=(emscripten chromium freepats)
  command -v node >/dev/null || PACKAGES+=(nodejs)
  command -v npm >/dev/null || PACKAGES+=(npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
