#!/usr/bin/env bash
# Runs a Windows program under Wine; CTest's emulator for the cross-built tests.
#   bash scripts/wine.sh PREFIX PROGRAM [ARGUMENT...]
# PREFIX is the Wine prefix (a folder of the build), made on first use. wineserver and Wine's
# own services are started here with their output sent to /dev/null: started by the program's
# own wine, they would inherit CTest's output pipe and hold it open after the program ends.
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
# No offer to install Mono or Gecko; no menu entries or icons made for the host's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix's Desktop and Documents lead into a home folder of its own, never the user's: what
# a test puts on the Windows desktop stays in the build folder.
export HOME=$WINEPREFIX/casa XDG_CONFIG_HOME=$WINEPREFIX/casa/.config
export XDG_DATA_HOME=$WINEPREFIX/casa/.local/share
mkdir -p "$HOME"
{
  flock 9
  # 9>&-: what stays running must not hold the lock.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init 9>&-
    wineserver -w 9>&-
  fi
  # Kept for a minute after the last program, so that a run of tests starts them once.
  wineserver -p60 9>&- || true
  wine cmd /c exit 9>&-
} 9>"$WINEPREFIX/.avvio.lock" >/dev/null 2>&1 </dev/null
exec wine "$@"
