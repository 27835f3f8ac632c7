#!/usr/bin/env bash
# Installs from Debian's packages whatever the machine lacks, then configures and builds. Runs
# as root or through sudo.
#   bash scripts/setup.sh              the programs, the tests, the benchmarks, the package checks
#   bash scripts/setup.sh --programma  only what building and running the two programs needs
#   bash scripts/setup.sh --finestra   the same, but builds only the window's program (run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
solo_programma=false
bersagli=(pulsiero pulsiero-ricevitore)
case "${1:-}" in
  --programma) solo_programma=true ;;
  --finestra) solo_programma=true bersagli=(pulsiero) ;;
esac

# Building and running: compiler, Qt, the Wayland plugin, Italian Qt texts, Arial's metrics.
packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev libgl-dev qt6-wayland qt6-translations-l10n
  libsodium-dev
  fonts-liberation
)
# Testing, benchmarking, fuzzing and checking the package.
$solo_programma || packages+=(
  xvfb xauth xdotool trayer openbox wmctrl x11-utils procps libxcb1-dev
  dbus at-spi2-core python3-pyatspi
  libbenchmark-dev clang libclang-rt-14-dev
  desktop-file-utils appstream librsvg2-bin dpkg-dev file lintian man-db bash-completion
  systemd util-linux dbus-daemon sway iproute2 strace
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
jobs=${JOBS:-$(nproc)}
if $solo_programma; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPULSIERO_TESTS=OFF >/dev/null
  cmake --build "$build" --parallel "$jobs" --target "${bersagli[@]}"
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPULSIERO_TESTS=ON >/dev/null
  cmake --build "$build" --parallel "$jobs"
fi
