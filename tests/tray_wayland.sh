#!/usr/bin/env bash
# The real program on Wayland (headless sway), with its tray on a private session bus: a
# StatusNotifier watcher and host that appear after the program (a panel such as waybar started
# later at login) still get its icon. Skipped (77) without sway or dbus-run-session.
#   tray_wayland.sh PULSIERO OSSERVATORE_SNI
set -euo pipefail
pulsiero=$1
osservatore=$2
command -v sway >/dev/null || { echo "sway assente"; exit 77; }
command -v dbus-run-session >/dev/null || { echo "dbus-run-session assente"; exit 77; }

cartella=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$cartella"' EXIT
mkdir -m 700 "$cartella/sway" "$cartella/run" "$cartella/home"
# sway refuses to run as root: then it runs as nobody, and root still reaches its socket.
come=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$cartella"
  chown 65534:65534 "$cartella/sway"
  come=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
printf 'xwayland disable\n' > "$cartella/sway.conf"
chmod 644 "$cartella/sway.conf"
env -i PATH=/usr/bin:/bin HOME="$cartella" XDG_RUNTIME_DIR="$cartella/sway" \
  WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  "${come[@]}" sway -c "$cartella/sway.conf" >"$cartella/sway.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -S "$cartella/sway/wayland-1" ] && break
  sleep 0.1
done
[ -S "$cartella/sway/wayland-1" ] || { cat "$cartella/sway.log"; echo "sway non parte"; exit 77; }

# Inside the private bus: the program first, the watcher with its host once the window is up.
cat > "$cartella/prova.sh" <<PROVA
set -u
HOME="$cartella/home" XDG_CONFIG_HOME="$cartella/home/.config" XDG_RUNTIME_DIR="$cartella/run" \
  QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$cartella/sway/wayland-1" \
  "$pulsiero" --impostazioni "$cartella/p.ini" >"$cartella/pulsiero.log" 2>&1 &
programma=\$!
albero() { SWAYSOCK=\$(ls "$cartella"/sway/sway-ipc.*.sock) swaymsg -t get_tree 2>/dev/null; }
for _ in \$(seq 200); do
  albero | grep -q '"app_id": "pulsiero"' && break
  sleep 0.1
done
albero | grep -q '"app_id": "pulsiero"' || { echo "la finestra non compare"; exit 1; }
"$osservatore" --host >"$cartella/osservatore.log" 2>&1 &
osservatore=\$!
esito=1
for _ in \$(seq 100); do
  grep -q '^item ' "$cartella/osservatore.log" && { esito=0; break; }
  sleep 0.1
done
kill \$programma \$osservatore
[ \$esito -eq 0 ] || { echo "icona non registrata presso il watcher"; cat "$cartella/pulsiero.log"; }
exit \$esito
PROVA
dbus-run-session -- bash "$cartella/prova.sh" 2> >(grep -v 'fd limit' >&2)
