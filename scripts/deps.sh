#!/usr/bin/env bash
# Installs the Debian packages that building and testing Zembrio need, when missing.
# Safe to run again: it installs only what is not there yet.
#   scripts/deps.sh            the packages of the build, the tests and the window
#   scripts/deps.sh PKG...     those packages instead (the fuzzing and benchmark scripts)
set -euo pipefail

DEFAULT_PACKAGES=(
  cmake g++ make pkg-config lld
  googletest libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  lame mpg123 twolame vorbis-tools ffmpeg
  libtag1-dev python3-mutagen
  xvfb xauth x11-utils openbox imagemagick
  dpkg-dev file desktop-file-utils appstream lintian
  libmpg123-dev libvorbis-dev sox
  qt6-multimedia-dev pulseaudio pulseaudio-utils
  libflac-dev flac libssl-dev shntool
  libogg-dev libopus-dev libopusfile-dev opus-tools
  clang-format libuchardet-dev
)
ZEMBRIO_PACKAGES=("${@:-${DEFAULT_PACKAGES[@]}}")

missing=()
for pkg in "${ZEMBRIO_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]})); then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
