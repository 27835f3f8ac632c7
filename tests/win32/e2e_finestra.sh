#!/usr/bin/env bash
# End to end on the real Win32 window under Wine: a private Xvfb with openbox and trayer, input by
# xdotool, effects read from the receiver's bytes, the settings file, the registry and the
# desktop folder, never from pixels.
#   bash e2e_finestra.sh PULSIERO_EXE WINE_SH PREFIX
# PREFIX is this test's own Wine prefix: Wine's desktop and tray run on the display of the first
# program of a prefix, so a prefix shared with other tests could show the windows elsewhere.
set -euo pipefail
exe_build=$1
wine_sh=$2
prefix=$3
qui=$(cd "$(dirname "$0")" && pwd)

lavoro=$(mktemp -d)
cartella="$lavoro/cartella con spazi"
mkdir -p "$cartella" "$lavoro/desktop"
cp "$exe_build" "$cartella/pulsiero.exe"
ini="$cartella/pulsiero.ini"
pids=()
pid_app=""
fine() {
  [ -n "$pid_app" ] && kill "$pid_app" 2>/dev/null || true
  ripristinaDesktop || true
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$lavoro"
}
trap fine EXIT

fallito() {
  echo "FALLITO: $*" >&2
  echo "finestra attiva: $(xdotool getactivewindow getwindowname 2>/dev/null)" >&2
  for w in $(xdotool search --onlyvisible --classname pulsiero.exe 2>/dev/null); do
    echo "visibile: $w \"$(xdotool getwindowname "$w")\" $(xwininfo -id "$w" | grep -- -geometry)" >&2
  done
  exit 1
}

# Waits up to $1 seconds for the command after it to succeed (a function that looks afresh each
# time: an argument like "$(...)" would be read once, before the wait).
attendi() {
  local limite=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$limite" ] || return 1
    sleep 0.1
  done
}

# A display of our own, so that the tray and the focus are this test's alone.
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -noreset -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  break
done
attendi 10 xdpyinfo >/dev/null 2>&1 || fallito "Xvfb non risponde"
openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge top --align right --width 10 >/dev/null 2>&1 &
pids+=($!)

wine() { bash "$wine_sh" "$prefix" "$@"; }
# The registry while the prefix's server runs. Not through the wrapper: its wineboot would start
# whatever the Run key holds, a second copy of the program among them.
reg() { WINEPREFIX=$prefix WINEDEBUG=-all command wine reg "$@"; }
chiave_run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
cartelle='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
# The desktop is pointed at a folder of the test, as a user may move it, and put back after.
desktop_prima=$(wine reg query "$cartelle" /v Desktop 2>/dev/null | awk '/REG_/{sub(/.*REG_[A-Z_]+ +/, ""); print}' | tr -d '\r')
ripristinaDesktop() {
  [ -n "$desktop_prima" ] && wine reg add "$cartelle" /v Desktop /t REG_EXPAND_SZ /d "$desktop_prima" /f >/dev/null 2>&1
  wine reg delete "$chiave_run" /v pulsiero /f >/dev/null 2>&1 || true
}
wine reg add "$cartelle" /v Desktop /t REG_EXPAND_SZ /d "Z:${lavoro//\//\\}\\desktop" /f >/dev/null 2>&1
wine reg delete "$chiave_run" /v pulsiero /f >/dev/null 2>&1 || true
# A value left by an earlier run may have started a copy: none may run now.
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true

python3 "$qui/ascoltatore.py" "$lavoro/porta" "$lavoro/trame" &
pids+=($!)
attendi 10 test -s "$lavoro/porta" || fallito "il ricevitore di prova non ascolta"
porta=$(cat "$lavoro/porta")
printf '[Server]\r\nIndirizzo=127.0.0.1\r\nPorta=%s\r\n' "$porta" >"$ini"

finestra() { xdotool search --onlyvisible --name '^Pulsiero$' 2>/dev/null | head -1; }
c_e() { [ -n "$("$@")" ]; }
non_c_e() { [ -z "$("$@")" ]; }
attiva() { [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ]; }
righe() { [ -f "$lavoro/trame" ] && [ "$(wc -l <"$lavoro/trame")" -ge "$1" ]; }
valore() { tr -d '\r' <"$ini" | grep -i "^$1=" | head -1 | cut -d= -f2-; }
avvia() {
  wine "$cartella/pulsiero.exe" >/dev/null 2>&1 &
  pid_app=$!
  attendi 60 c_e finestra || fallito "la finestra non appare"
  W=$(finestra)
  xdotool windowactivate --sync "$W" >/dev/null 2>&1 || true
  attendi 10 attiva Pulsiero || fallito "la finestra non prende il fuoco"
}
terminato() { ! kill -0 "$pid_app" 2>/dev/null; }
# A pop-up menu on screen: a visible window of the program without a title, taller than a
# tooltip.
popup() {
  local w
  for w in $(xdotool search --onlyvisible --classname pulsiero.exe 2>/dev/null); do
    [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] || continue
    [ "$(xwininfo -id "$w" | awk '/Height:/{print $2}')" -gt 40 ] && echo "$w" && return
  done
}
# The menu "Opzioni", then its n-th entry (separators are skipped).
opzioni() {
  attendi 10 non_c_e popup || fallito "un menu resta aperto"
  xdotool key alt+o
  attendi 10 c_e popup || fallito "il menu Opzioni non si apre"
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
}

echo "riga: un clic su ogni tasto manda la sua trama e salva il passo"
avvia
altezza=$(xwininfo -id "$W" | awk '/Height:/{print $2}')
menu=$((altezza - 304)) # the client area is 203 x 304 below the menu bar, at 96 dpi
n=0
for tasto in "68 91" "130 91" "68 154" "130 154"; do
  set -- $tasto
  xdotool mousemove --window "$W" "$1" $(($2 + menu)) click 1
  n=$((n + 1))
  attendi 20 righe $n || fallito "il tasto $n non ha mandato la trama"
done
mapfile -t trame <"$lavoro/trame"
codici=(1F 1E 1D 1C)
passi=(FFFFE FFFFD FFFFC FFFFB)
for i in 0 1 2 3; do
  [[ ${trame[$i]} =~ ^FFFFE7E${codici[$i]}[0-9A-F]{3}[0-9A-F]${passi[$i]}[0-9A-F]$ ]] ||
    fallito "trama $i inattesa: ${trame[$i]}"
done
[ "$(valore Passo)" = 4 ] || fallito "Passo non salvato: $(valore Passo)"

echo "riga: il dialogo si compila da tastiera e si salva chiudendolo"
opzioni 4
attendi 10 attiva "Configurazione Pulsiero" || fallito "il dialogo non si apre"
xdotool key Tab && xdotool type "Cancello"
xdotool key Return && xdotool type "Apri"
xdotool key ctrl+Tab Tab Tab && xdotool type "12ab3"      # port: digits only
xdotool key ctrl+Tab Tab && xdotool type "2000000"
xdotool key Return && xdotool type "x7"                    # transmitter: "1" then "7", selected
xdotool key ctrl+a && xdotool type "9" && xdotool key ctrl+z
xdotool key Escape
attendi 10 attiva Pulsiero || fallito "il dialogo non si chiude"
[ "$(valore nome)" = Cancello ] || fallito "nome: $(valore nome)"
[ "$(valore t1)" = Apri ] || fallito "t1: $(valore t1)"
[ "$(valore Porta)" = 123 ] || fallito "Porta: $(valore Porta)"
[ "$(valore ID_Dis)" = 1048575 ] || fallito "ID_Dis: $(valore ID_Dis)"
[ "$(valore ID_Pul)" = 7 ] || fallito "ID_Pul: $(valore ID_Pul)"
[ "$(valore Suono)" = "" ] || fallito "Suono: $(valore Suono)"

echo "riga: l'avvio automatico si inserisce e si toglie"
run() { reg query "$chiave_run" /v pulsiero 2>/dev/null | tr -d '\r' | grep -F "REG_SZ" || true; }
opzioni 0
attendi 10 c_e run || fallito "valore Run non scritto"
run | grep -qF "\"Z:${cartella//\//\\}\\pulsiero.exe\"" || fallito "valore Run: $(run)"
opzioni 0
attendi 10 non_c_e run || fallito "valore Run non tolto"

echo "riga: il collegamento sul desktop si crea e si elimina"
opzioni 1
attendi 10 test -s "$lavoro/desktop/Pulsiero.lnk" || fallito "collegamento non creato"
grep -qa "pulsiero.exe" "$lavoro/desktop/Pulsiero.lnk" || fallito "collegamento senza destinazione"
opzioni 2
attendi 10 test ! -e "$lavoro/desktop/Pulsiero.lnk" || fallito "collegamento non eliminato"

echo "riga: Ctrl+X termina il programma"
xdotool key ctrl+x
attendi 20 terminato || fallito "Ctrl+X non termina"

echo "riga: il menu dell'icona nell'area di notifica termina il programma"
avvia
icona() {
  xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/{p=1} p && /"explorer.exe"/{print $1; exit}'
}
attendi 20 c_e icona || fallito "l'icona non entra nell'area di notifica"
xdotool mousemove --window "$(icona)" 8 8 click 3
attendi 10 c_e popup || fallito "il menu non si apre"
M=$(popup)
h=$(xwininfo -id "$M" | awk '/Height:/{print $2}')
xdotool mousemove --window "$M" 30 $((h - 10)) click 1 # the last entry: "Fine programma"
attendi 20 terminato || fallito "\"Fine programma\" non termina"
test -z "$(icona)" || fallito "l'icona resta dopo la fine"

echo "riga: con l'avvio automatico parte nascosto; l'icona lo mostra, la spunta segue il registro"
wine reg add "$chiave_run" /v pulsiero /t REG_SZ /d "\"Z:${cartella//\//\\}\\pulsiero.exe\"" /f >/dev/null 2>&1
# Started directly: the wrapper's wineboot would start the Run value's copy as well.
WINEPREFIX=$prefix WINEDEBUG=-all command wine "$cartella/pulsiero.exe" >/dev/null 2>&1 &
pid_app=$!
attendi 60 c_e icona || fallito "l'icona non entra nell'area di notifica"
non_c_e finestra || fallito "la finestra si mostra con l'avvio automatico"
xdotool mousemove --window "$(icona)" 8 8 click 1
attendi 20 c_e finestra || fallito "un clic sull'icona non mostra la finestra"
W=$(finestra)
attendi 10 attiva Pulsiero || fallito "la finestra mostrata non prende il fuoco"
opzioni 0 # ticked at start from the registry: this click removes the value
attendi 10 non_c_e run || fallito "la spunta non seguiva il registro"
xdotool key ctrl+x
attendi 20 terminato || fallito "Ctrl+X non termina"

echo "righe: --tasto e i suoi stati di uscita"
stato() {
  set +e
  wine "$cartella/pulsiero.exe" "$@" >"$lavoro/uscita" 2>"$lavoro/errori"
  echo $?
  set -e
}
printf '[Server]\r\nIndirizzo=127.0.0.1\r\nPorta=%s\r\n' "$porta" >"$ini"
[ "$(stato --tasto 2)" = 0 ] || fallito "--tasto 2 consegnato: $(cat "$lavoro/errori")"
attendi 20 righe 5 || fallito "--tasto 2 senza trama"
[[ $(tail -1 "$lavoro/trame") =~ ^FFFFE7E1E ]] || fallito "trama di --tasto 2: $(tail -1 "$lavoro/trame")"
chiusa=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[Server]\r\nPorta=%s\r\n' "$chiusa" >"$ini"
[ "$(stato --tasto 1)" = 1 ] || fallito "--tasto 1 rifiutato"
grep -q "^Errore 10061 - " "$lavoro/errori" || fallito "errore Winsock: $(cat "$lavoro/errori")"
grep -q "non è stato inviato a causa di un problema di connessione" "$lavoro/errori" || fallito "avviso"
[ "$(stato --tasto 5)" = 2 ] || fallito "--tasto 5"
grep -q "vuole un numero da 1 a 4" "$lavoro/errori" || fallito "messaggio di --tasto 5"
[ "$(stato --sconosciuta)" = 2 ] || fallito "--sconosciuta"
[ "$(stato --tasto 1 --impostazioni "$lavoro")" = 2 ] || fallito "impostazioni su una cartella"
[ "$(stato --version)" = 0 ] && grep -q "^pulsiero 1" "$lavoro/uscita" || fallito "--version"
[ "$(stato --help)" = 0 ] && grep -q -- "--tasto N" "$lavoro/uscita" || fallito "--help"
echo "tutte le righe passate"
