#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the program and the tests need and the
# machine lacks, then configures and builds. Runs as root or through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  qt6-translations-l10n
  fonts-liberation desktop-file-utils
  xvfb xauth xdotool trayer openbox wmctrl x11-utils procps
  libbenchmark-dev clang libclang-rt-14-dev libxcb1-dev appstream dpkg-dev file
  libsodium-dev
  systemd util-linux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installo: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel 2
