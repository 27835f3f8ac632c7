#!/usr/bin/env bash
# What a person on Windows gets: the program imports only system DLLs and carries its manifest
# and version; the zip holds the program, the README and the licence; the installer installs
# silently under Wine, and its uninstaller removes everything it installed plus the program's
# auto-start value and desktop shortcut, leaving other programs' values alone.
#   pacchetti.sh OBJDUMP EXE ZIP SETUP WINE_SH WINEPREFIX
set -euo pipefail
objdump=$1 exe=$2 zip=$3 setup=$4 wine_sh=$5 prefisso=$6
fallito() { echo "FALLITO: $*" >&2; exit 1; }
wine() { bash "$wine_sh" "$prefisso" "$@" 2>/dev/null; }
# A Windows path of the prefix as a path here.
qui() { WINEPREFIX=$prefisso winepath -u "$1" 2>/dev/null; }

# Imports: the system's DLLs only (nothing of mingw's runtime, nothing of our own).
dll=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dll" ] || fallito "nessuna DLL importata trovata in $exe"
for d in $dll; do
  case "$d" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | advapi32.dll | shell32.dll | \
      ole32.dll | oleaut32.dll | comctl32.dll | ws2_32.dll | winmm.dll | shlwapi.dll | \
      uxtheme.dll | comdlg32.dll | bcrypt.dll | msimg32.dll | version.dll | shcore.dll) ;;
    *) fallito "$exe importa $d" ;;
  esac
done
grep -q "PerMonitorV2" "$exe" || fallito "manifesto mancante"
strings -el "$exe" | grep -qx "ProductVersion" || fallito "informazioni di versione mancanti"

# The portable zip.
elenco=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$elenco" = "Pulsiero/ Pulsiero/LICENZA.txt Pulsiero/README.md Pulsiero/pulsiero.exe " ] ||
  [ "$elenco" = "Pulsiero/LICENZA.txt Pulsiero/README.md Pulsiero/pulsiero.exe " ] ||
  fallito "contenuto dello zip: $elenco"

# Installed silently for this user.
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
disinstalla='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pulsiero'
wine "$setup" /S
cartella_win=$(wine cmd /c 'echo %LOCALAPPDATA%\Programs\Pulsiero' | tr -d '\r')
cartella=$(qui "$cartella_win")
for f in pulsiero.exe README.md LICENZA.txt Disinstalla.exe; do
  [ -f "$cartella/$f" ] || fallito "$f non installato in $cartella"
done
cmp -s "$exe" "$cartella/pulsiero.exe" || fallito "pulsiero.exe installato diverso"
wine reg query "$disinstalla" /v DisplayVersion | grep -q "1\." || fallito "voce di disinstallazione"

# What the program makes while in use: its auto-start value and its desktop shortcut; and
# another program's auto-start value, which must survive.
wine reg add "$run" /v pulsiero /d "\"$cartella_win\\pulsiero.exe\"" /f >/dev/null
wine reg add "$run" /v altro /d '"C:\altro\altro.exe"' /f >/dev/null
desktop=$(qui "$(wine cmd /c 'echo %USERPROFILE%\Desktop' | tr -d '\r')")
mkdir -p "$desktop"
printf 'L' >"$desktop/Pulsiero.lnk"

# The uninstaller copies itself away and returns at once: wait for its work to show.
wine "$cartella/Disinstalla.exe" /S
for _ in $(seq 300); do
  [ -e "$cartella" ] || break
  sleep 0.1
done
[ ! -e "$cartella" ] || fallito "cartella rimasta: $(ls -A "$cartella")"
[ ! -e "$desktop/Pulsiero.lnk" ] || fallito "collegamento sul desktop rimasto"
! wine reg query "$run" /v pulsiero >/dev/null || fallito "valore di avvio automatico rimasto"
wine reg query "$run" /v altro >/dev/null || fallito "rimosso il valore di un altro programma"
! wine reg query "$disinstalla" >/dev/null || fallito "voce di disinstallazione rimasta"
wine reg delete "$run" /v altro /f >/dev/null
echo "pacchetti: ok"
