#!/usr/bin/env bash
# Installs into a staging folder and checks what lands where; validates the desktop entry and the
# AppStream metadata; builds the .deb and, as root, installs it, starts both programs and removes
# it again.
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/pulsiero usr/bin/pulsiero-ricevitore usr/share/applications/pulsiero.desktop \
         usr/share/icons/hicolor/scalable/apps/pulsiero.svg \
         usr/share/metainfo/it.pulsiero.Pulsiero.metainfo.xml; do
  [ -e "$stage/$f" ] || { echo "manca $f"; exit 1; }
done
desktop-file-validate "$stage/usr/share/applications/pulsiero.desktop"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/it.pulsiero.Pulsiero.metainfo.xml" \
  | grep -vE "^(I|P):" || true
appstreamcli validate --no-net "$stage/usr/share/metainfo/it.pulsiero.Pulsiero.metainfo.xml" >/dev/null

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pulsiero_*.deb | head -1)
dpkg-deb --info "$deb" | grep -E "Package|Version|Depends"
if [ "$(id -u)" -ne 0 ] || [ -z "${DISPLAY:-}" ] || dpkg-query -W pulsiero >/dev/null 2>&1; then
  echo "installazione del pacchetto non provata (serve root, un display e nessun pulsiero installato)"
  exit 0
fi
dpkg -i "$deb" >/dev/null
trap 'dpkg -r pulsiero >/dev/null; rm -rf "$stage"' EXIT
/usr/bin/pulsiero-ricevitore --help | head -1
home=$(mktemp -d)
HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb /usr/bin/pulsiero &
pid=$!
xdotool search --sync --onlyvisible --pid "$pid" --name '^Pulsiero$' >/dev/null
kill "$pid"
echo "pacchetto installato e avviato: $(basename "$deb")"
