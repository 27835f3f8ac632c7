#!/usr/bin/python3
"""The program as a screen reader sees it, over the AT-SPI bus of a private D-Bus session.

The four keys are push buttons whose Press action sends the key's frame to a receiver on
127.0.0.1; their description is plain text. The configuration dialog is a dialog whose boxes are
named by their labels, with the keyboard in the first box when it opens.

Run as: python3 accessibilita.py PROGRAM; it starts itself again inside a D-Bus session of its
own. Needs DISPLAY, a window manager, xdotool, dbus-run-session and pyatspi; exits 77 when one is
missing.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SALTA = 77


def attendi(condizione, secondi=20.0):
    fine = time.monotonic() + secondi
    while time.monotonic() < fine:
        risultato = condizione()
        if risultato:
            return risultato
        time.sleep(0.1)
    return None


def discendenti(nodo, profondita=0):
    if nodo is None or profondita > 30:
        return
    yield nodo
    for i in range(nodo.childCount):
        try:
            figlio = nodo.getChildAtIndex(i)
        except Exception:  # a node gone meanwhile
            continue
        yield from discendenti(figlio, profondita + 1)


def controlla(condizione, messaggio):
    if not condizione:
        print("ERRORE:", messaggio)
        sys.exit(1)


def main():
    if len(sys.argv) != 2 or not os.environ.get("DISPLAY") or not shutil.which("xdotool"):
        print("serve DISPLAY, xdotool e il programma")
        return SALTA
    if not os.environ.get("PULSIERO_BUS_PRIVATO"):
        if not shutil.which("dbus-run-session"):
            print("dbus-run-session assente")
            return SALTA
        return subprocess.run(["dbus-run-session", "--", sys.executable] + sys.argv,
                              env=dict(os.environ, PULSIERO_BUS_PRIVATO="1")).returncode
    try:
        import pyatspi
    except ImportError:
        print("pyatspi assente")
        return SALTA

    cartella = tempfile.mkdtemp()
    ricevitore = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    ricevitore.bind(("127.0.0.1", 0))
    ricevitore.listen(4)
    ricevitore.settimeout(10)
    ini = os.path.join(cartella, "garage.ini")
    with open(ini, "w", encoding="utf-8") as f:
        f.write("[Server]\nIndirizzo=127.0.0.1\nPorta=%d\n[Pulsiero]\nnome=Garage\n"
                "t2=Apri <b>garage</b>\n" % ricevitore.getsockname()[1])
    ambiente = dict(os.environ, HOME=cartella, XDG_CONFIG_HOME=os.path.join(cartella, "config"),
                    QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    ambiente.pop("QT_QPA_PLATFORM", None)
    programma = subprocess.Popen([sys.argv[1], "--impostazioni", ini], env=ambiente)
    try:
        return prova(pyatspi, programma, ricevitore)
    finally:
        programma.kill()
        programma.wait()
        shutil.rmtree(cartella, ignore_errors=True)


def prova(pyatspi, programma, ricevitore):
    desktop = pyatspi.Registry.getDesktop(0)

    def applicazione():
        for app in desktop:
            if app is not None and app.get_process_id() == programma.pid:
                return app
        return None

    def cerca(radice, ruolo, nome):
        for nodo in discendenti(radice):
            if nodo.getRole() == ruolo and nodo.name == nome:
                return nodo
        return None

    app = attendi(applicazione)
    controlla(app is not None, "il programma non compare sul bus AT-SPI")
    tasto = attendi(lambda: cerca(app, pyatspi.ROLE_PUSH_BUTTON, "Apri <b>garage</b>"))
    controlla(tasto is not None, "nessun pulsante per il tasto 2")
    controlla(tasto.description == "Apri <b>garage</b>",
              "descrizione non in testo semplice: %r" % tasto.description)
    controlla(tasto.getState().contains(pyatspi.STATE_FOCUSABLE), "tasto non raggiungibile")
    azioni = tasto.queryAction()
    nomi = [azioni.getName(i) for i in range(azioni.nActions)]
    controlla("Press" in nomi, "nessuna azione Press: %r" % nomi)
    azioni.doAction(nomi.index("Press"))
    connessione, _ = ricevitore.accept()
    trama = b""
    while True:
        dati = connessione.recv(64)
        if not dati:
            break
        trama += dati
    connessione.close()
    controlla(trama[7:9] == b"1E", "trama del tasto 2 attesa, ricevuta %r" % trama)

    # The dialog, from the menu bar with the keyboard.
    finestra = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                               str(programma.pid), "--name", "^Garage - Pulsiero$"],
                              capture_output=True, text=True, timeout=30).stdout.split()
    controlla(finestra, "finestra principale non trovata")
    subprocess.run(["xdotool", "windowactivate", "--sync", finestra[0]], timeout=30)
    time.sleep(0.3)
    subprocess.run(["xdotool", "key", "alt+o"], timeout=30)
    time.sleep(0.5)
    subprocess.run(["xdotool", "key", "Up", "Return"], timeout=30)
    dialogo = attendi(lambda: cerca(app, pyatspi.ROLE_DIALOG, "Configurazione Pulsiero"))
    controlla(dialogo is not None, "il dialogo non ha il ruolo di dialogo")
    nomi = []
    for nodo in discendenti(dialogo):
        stato = nodo.getState()
        if nodo.getRole() == pyatspi.ROLE_TEXT and stato.contains(pyatspi.STATE_SHOWING):
            nomi.append(nodo.name)
    controlla(nomi == ["Nome:", "Tasto 1:", "Tasto 2:", "Tasto 3:", "Tasto 4:", "Suono:"],
              "caselle della prima pagina: %r" % nomi)

    def nome_col_fuoco():
        for nodo in discendenti(dialogo):
            if nodo.getState().contains(pyatspi.STATE_FOCUSED) and \
                    nodo.getRole() == pyatspi.ROLE_TEXT:
                return nodo.name
        return None

    controlla(attendi(nome_col_fuoco) == "Nome:", "il fuoco non è nella prima casella")
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
