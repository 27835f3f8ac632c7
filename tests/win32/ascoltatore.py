#!/usr/bin/env python3
"""A receiver for the tests: listens on loopback, writes its port to PORTFILE, then appends the
bytes of each connection, as one line, to FRAMEFILE. Runs until killed."""
import socket
import sys

porta_file, trame_file = sys.argv[1], sys.argv[2]
server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 0))
server.listen(8)
with open(porta_file + ".tmp", "w") as f:
    f.write(str(server.getsockname()[1]))
import os
os.replace(porta_file + ".tmp", porta_file)
while True:
    conn, _ = server.accept()
    conn.settimeout(5)
    dati = b""
    try:
        while True:
            parte = conn.recv(4096)
            if not parte:
                break
            dati += parte
    except OSError:
        pass
    conn.close()
    with open(trame_file, "a") as f:
        f.write(dati.decode("latin-1") + "\n")
