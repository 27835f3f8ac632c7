#!/usr/bin/env bash
# Installs into a staging folder and checks what lands where; validates the desktop entry, the
# AppStream metadata, the manual pages and the shell completion; builds the .deb, inspects it
# with dpkg-deb and lintian, and unpacks it into a throw-away root where both programs start.
# Nothing is installed on, or removed from, the system.
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fallito() { echo "ERRORE: $*"; exit 1; }

DESTDIR="$stage/install" cmake --install "$build" --prefix /usr >/dev/null
radice=$stage/install
icone=()
for lato in 16 22 24 32 48 64 128 256; do
  icone+=("usr/share/icons/hicolor/${lato}x${lato}/apps/pulsiero.png")
done
for f in usr/bin/pulsiero usr/bin/pulsiero-ricevitore usr/share/applications/pulsiero.desktop \
         usr/share/icons/hicolor/scalable/apps/pulsiero.svg "${icone[@]}" \
         usr/share/metainfo/it.pulsiero.Pulsiero.metainfo.xml \
         usr/share/man/man1/pulsiero.1.gz usr/share/man/man1/pulsiero-ricevitore.1.gz \
         usr/share/bash-completion/completions/pulsiero \
         usr/share/bash-completion/completions/pulsiero-ricevitore \
         usr/share/doc/pulsiero/copyright usr/share/doc/pulsiero/changelog.gz; do
  [ -e "$radice/$f" ] || fallito "manca $f"
done
for lato in 16 256; do
  tipo=$(file "$radice/usr/share/icons/hicolor/${lato}x${lato}/apps/pulsiero.png")
  [[ $tipo == *"PNG image data, $lato x $lato,"* ]] || fallito "icona ${lato}x${lato}: $tipo"
done
desktop-file-validate "$radice/usr/share/applications/pulsiero.desktop"
appstreamcli validate --no-net "$radice/usr/share/metainfo/it.pulsiero.Pulsiero.metainfo.xml" \
  >/dev/null || fallito "metainfo AppStream non valido"

# Manual pages: no warning from man, and every option of --help described.
for programma in pulsiero pulsiero-ricevitore; do
  pagina=$radice/usr/share/man/man1/$programma.1.gz
  avvisi=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$pagina" 2>&1 >/dev/null)
  [ -z "$avvisi" ] || fallito "$programma.1: $avvisi"
  testo=$(zcat "$pagina" | sed 's/\\-/-/g')
  completamento=$radice/usr/share/bash-completion/completions/$programma
  bash -n "$completamento" || fallito "completamento di $programma non valido"
  for opzione in $("$build/$programma" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$opzione" <<<"$testo" || fallito "$programma.1 non descrive $opzione"
  done
done
# The completion offers the options and the key numbers.
completa() {
  bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    PATH=$0:$PATH "_${1//-/_}" "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    echo "${COMPREPLY[*]}"' "$build" "$@"
}
if [ -r /usr/share/bash-completion/bash_completion ]; then
  c=$radice/usr/share/bash-completion/completions
  [ "$(completa "$c/pulsiero" pulsiero --tasto '')" = "1 2 3 4" ] ||
    fallito "completamento di --tasto"
  [ "$(completa "$c/pulsiero-ricevitore" pulsiero-ricevitore --st)" = "--stato" ] ||
    fallito "completamento di pulsiero-ricevitore"
fi

(cd "$build" && rm -f pulsiero_*.deb && cpack -G DEB >/dev/null)
debs=("$build"/pulsiero_*.deb)
deb=${debs[0]}
# Whole outputs first: grep -q would stop reading early and break dpkg-deb's pipe.
info=$(dpkg-deb --info "$deb")
contenuto=$(dpkg-deb --contents "$deb")
grep -E "^ (Package|Version|Depends|Recommends|Maintainer):" <<<"$info"
! grep -q "qt6-qpa-plugins" <<<"$info" || fallito "dipendenza superflua da qt6-qpa-plugins"
grep -q " ./usr/share/man/man1/pulsiero.1.gz$" <<<"$contenuto" ||
  fallito "il pacchetto non contiene il manuale"
if command -v lintian >/dev/null; then
  esito=$(lintian --pedantic --display-info --tag-display-limit 0 "$deb" 2>&1 |
    grep -v "running with root privileges" || true)
  echo "${esito:-lintian: nessuna segnalazione}"
  ! grep -qE "^(E|W): |hardening" <<<"$esito" || fallito "lintian segnala errori o avvisi"
fi

# Unpacked into a throw-away root, never installed.
dpkg-deb -x "$deb" "$stage/radice"
bin=$stage/radice/usr/bin
versione=$("$bin/pulsiero" --version)
echo "${versione%%$'\n'*}"
aiuto=$("$bin/pulsiero-ricevitore" --help)
echo "${aiuto%%$'\n'*}"
home=$stage/casa
mkdir -p "$home"
aiuto=$("$bin/pulsiero" --impostazioni "$home/garage.ini" --help)
grep -qx "File delle impostazioni: $home/garage.ini" <<<"$aiuto" || fallito "--impostazioni ignorato"
if [ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null; then
  HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb "$bin/pulsiero" &
  pid=$!
  timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Pulsiero$' >/dev/null ||
    { kill "$pid"; fallito "la finestra del programma estratto non è comparsa"; }
  kill "$pid"
  echo "pacchetto estratto e avviato: $(basename "$deb")"
fi
