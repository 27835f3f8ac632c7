#include "qt/app/PressioneDaRiga.h"

#include "qt/platform/Configurazione.h"
#include "qt/platform/NotificaDesktop.h"
#include "qt/platform/Trasmettitore.h"

#include <QEventLoop>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace pulsiero {

namespace {

void scriviRiga(const QString& testo) {
    QString riga = testo;
    riga.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s\n", riga.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace

int premiTasto(int indice, const QString& percorsoIni) {
    Configurazione configurazione(percorsoIni);
    Trasmettitore trasmettitore(configurazione);
    // Every message goes to stderr as one line, in the words of the message boxes.
    QStringList detti;
    const auto riga = [&detti](const Avviso& avviso) {
        scriviRiga(avviso.testo);
        detti << avviso.testo;
    };
    QObject::connect(&configurazione, &Configurazione::messaggio, riga);
    QObject::connect(&trasmettitore, &Trasmettitore::messaggio, riga);
    configurazione.CaricaConfigurazione(false);

    // The press may end before the loop starts (a counter that cannot be stored).
    QEventLoop attesa;
    int stato = -1;
    QObject::connect(&trasmettitore, &Trasmettitore::pressioneConclusa,
                     [&](const EsitoPressione& esito) {
                         stato = statoUscita(esito.tipo);
                         attesa.quit();
                     });
    trasmettitore.Img_Pulsante_Click(indice);
    if (stato < 0)
        attesa.exec();
    // Started from a desktop action or a shortcut, nobody reads the standard error.
    if (stato != kConsegnato && senzaTerminale())
        notificaDesktop(QStringLiteral("Pulsiero: tasto %1 non inviato").arg(indice + 1),
                        detti.join(QLatin1Char('\n')));
    // Qt waits for a running name lookup when the program ends (10 s against a name server that
    // does not answer): the press is over and its counter stored, so the process ends now.
    if (trasmettitore.ricercaNomeAbbandonata()) {
        std::fflush(nullptr);
        ::_exit(stato);
    }
    return stato;
}

} // namespace pulsiero
