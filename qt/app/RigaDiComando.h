#pragma once

#include <QString>
#include <QStringList>

namespace pulsiero {

// What the command line asks for. Without options the program shows its window.
struct RigaDiComando {
    enum class Azione { Finestra, Tasto, Aiuto, Versione, Errore };

    Azione azione = Azione::Finestra;
    int tasto = 0;        // 1 to 4, with Azione::Tasto
    QString impostazioni; // absolute path given with --impostazioni, empty for the usual file
    QString errore;       // with Azione::Errore, what is wrong, in Italian
    bool avvioAutomatico = false; // started by the auto-start entry (--avvio-automatico)

    // With provvisoria, unknown options of one dash ("-platform xcb") are left to Qt's own
    // application object: the window's command line is read again once that has taken them.
    static RigaDiComando leggi(const QStringList& argomenti, bool provvisoria = false);

    // The settings file this run uses: the one given, or the usual one, whose folder is then
    // made and which is seeded when so chosen.
    QString fileImpostazioni() const;
    // The same file, only named: nothing is created (for --help).
    QString fileScelto() const;

    // The options a desktop entry repeats to start this same run: the settings file given.
    QStringList argomentiDelleVoci() const;
};

// The command line as the process received it, before any Qt application object exists.
QStringList argomentiDelProcesso(int argc, char** argv);

QString testoAiuto(const QString& fileImpostazioni);
QString testoVersioneProgramma();

// Help, version, an error or one key press, with no window and no tray icon; the exit status.
int eseguiSenzaFinestra(const RigaDiComando& riga, int argc, char** argv);

// Prints the error of a command line on the standard error; the exit status for it.
int segnalaErrore(const RigaDiComando& riga);

} // namespace pulsiero
