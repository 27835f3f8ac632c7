#!/usr/bin/env bash
# The Windows programs, 32- and 64-bit, cross-built with mingw-w64 and tested under Wine.
# Installs from Debian's packages whatever the machine lacks (as root or through sudo), builds
# libsodium from Debian's source package once, builds both architectures with their portable
# zips and installers (in build-windows/pacchetti/), and runs their tests under Wine.
#   bash scripts/windows.sh               install, build, test, pack
#   bash scripts/windows.sh --senza-test  install, build, pack
# WINDOWS_DIR (default build-windows) and WINDOWS_ARCH (default "i686 x86_64") change the
# build folder and the architectures.
set -euo pipefail
cd "$(dirname "$0")/.."
test=true
[ "${1:-}" = "--senza-test" ] && test=false
out=$(mkdir -p "${WINDOWS_DIR:-build-windows}" && cd "${WINDOWS_DIR:-build-windows}" && pwd)
read -r -a archs <<<"${WINDOWS_ARCH:-i686 x86_64}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

installa() {
  local packages=(
    cmake ninja-build ccache
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 wine32:i386
    nsis zip unzip librsvg2-bin imagemagick googletest
    xvfb xdotool openbox trayer x11-utils python3
    dpkg-dev autoconf automake libtool make
  )
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  # Wine runs the 32-bit programs with its i386 half.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  echo "Installo: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# Debian's source of libsodium: apt needs a deb-src line for each of the system's deb lines.
sorgenti_debian() {
  [ -n "$(apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -x Sources)" ] &&
    return 0
  local lista=/etc/apt/sources.list.d/pulsiero-sorgenti
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee "$lista.sources" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $sudo tee "$lista.list" >/dev/null
  fi
  $sudo apt-get update -qq
}

# libsodium as a static library for each architecture, kept in the build folder. The minimal
# build has all the core uses (keyed BLAKE2b, constant-time compare, random bytes) and builds
# faster.
sodio() {
  local arch=$1
  local prefix=$out/sodium/$arch
  [ -f "$prefix/lib/libsodium.a" ] && return 0
  local src
  mkdir -p "$out/sodium"
  src=$(find "$out/sodium" -maxdepth 1 -type d -name 'libsodium-*' | head -n1)
  if [ -z "$src" ]; then
    sorgenti_debian
    (cd "$out/sodium" && apt-get source -qq libsodium >/dev/null)
    src=$(find "$out/sodium" -maxdepth 1 -type d -name 'libsodium-*' | head -n1)
    [ -n "$src" ] || { echo "apt-get source libsodium non riuscito" >&2; exit 1; }
  fi
  # Debian's tarball has no configure script: autotools make it.
  [ -x "$src/configure" ] || (cd "$src" && autoreconf -fi >/dev/null 2>&1)
  local cartella=$out/sodium/build-$arch
  rm -rf "$cartella"
  mkdir -p "$cartella"
  if ! (
    # In a condition set -e does not apply: each step needs the one before.
    cd "$cartella" &&
      "$src/configure" --host="$arch-w64-mingw32" --disable-shared --enable-static \
        --enable-minimal --disable-dependency-tracking \
        --prefix="$prefix" CC="$arch-w64-mingw32-gcc-posix" &&
      make -j"${JOBS:-$(nproc)}" &&
      make install
  ) >"$cartella.log" 2>&1; then
    tail -n 30 "$cartella.log" >&2
    echo "libsodium per $arch non compilata: $cartella.log" >&2
    exit 1
  fi
}

installa
for arch in "${archs[@]}"; do
  sodio "$arch"
  cmake -S . -B "$out/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPULSIERO_SODIUM="$out/sodium/$arch" \
    -DPULSIERO_WINEPREFIX="$out/wine" -DPULSIERO_PACCHETTI="$out/pacchetti" >/dev/null
  cmake --build "$out/$arch" --parallel "${JOBS:-$(nproc)}"
done
if $test; then
  # Wine's server outlives the tests by a minute; it is stopped when they end.
  trap 'WINEPREFIX="$out/wine" wineserver -k 2>/dev/null || true' EXIT
  for arch in "${archs[@]}"; do
    ctest --test-dir "$out/$arch" --output-on-failure --timeout 300
  done
fi
echo "Pacchetti: $out/pacchetti"
