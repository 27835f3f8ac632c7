#pragma once

// A complete, isolated set of the program's folders in a temporary directory.

#include "qt/finestre/Frm_Pulsiero.h"

#include <QTemporaryDir>

struct AmbienteDiProva {
    QTemporaryDir dir;
    pulsiero::Ambiente ambiente;

    AmbienteDiProva() {
        ambiente.percorsoIni = dir.filePath(QStringLiteral("pulsiero.ini"));
        ambiente.eseguibile = dir.filePath(QStringLiteral("bin/pulsiero"));
        ambiente.cartellaAutostart = dir.filePath(QStringLiteral("config/autostart"));
        ambiente.cartellaDesktop = dir.filePath(QStringLiteral("Scrivania"));
    }
};
