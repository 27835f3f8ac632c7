#include "qt/app/RigaDiComando.h"

#include "qt/app/PressioneDaRiga.h"
#include "qt/platform/Metadati.h"
#include "qt/platform/PercorsoImpostazioni.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace pulsiero {

namespace {

const QCommandLineOption kTasto({QStringLiteral("t"), QStringLiteral("tasto")},
                                QStringLiteral("preme il tasto N (da 1 a 4) e termina, senza "
                                               "finestra"),
                                QStringLiteral("N"));
const QCommandLineOption kImpostazioni({QStringLiteral("i"), QStringLiteral("impostazioni")},
                                       QStringLiteral("usa FILE come file delle impostazioni"),
                                       QStringLiteral("FILE"));
// Written by the program into its auto-start entry only, so left out of the help.
const QCommandLineOption kAvvioAutomatico = [] {
    QCommandLineOption opzione(QStringLiteral("avvio-automatico"),
                               QStringLiteral("avviato all'accesso: la finestra resta nascosta"));
    opzione.setFlags(QCommandLineOption::HiddenFromHelp);
    return opzione;
}();
const QCommandLineOption kAiuto({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("mostra questo aiuto"));
const QCommandLineOption kVersione({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("mostra la versione"));

// An option as it was typed, with one dash or two.
QString comeScritta(const QString& nome, const QStringList& argomenti) {
    const QString unTrattino = QLatin1Char('-') + nome;
    return argomenti.contains(unTrattino) ? unTrattino : QStringLiteral("--") + nome;
}

RigaDiComando rigaErrata(const QString& testo) {
    RigaDiComando riga;
    riga.azione = RigaDiComando::Azione::Errore;
    riga.errore = testo;
    return riga;
}

// Qt's own window options have one dash ("-platform xcb", "-style fusion"); ours have two.
bool forseOpzioniDiQt(const QStringList& argomenti, const QStringList& sconosciute) {
    for (const QString& nome : sconosciute)
        if (!argomenti.contains(QLatin1Char('-') + nome))
            return false;
    return !sconosciute.isEmpty();
}

QString erroreDiLettura(const QCommandLineParser& parser, const QStringList& argomenti) {
    const QStringList sconosciute = parser.unknownOptionNames();
    if (!sconosciute.isEmpty())
        return QStringLiteral("opzione sconosciuta: %1")
            .arg(comeScritta(sconosciute.first(), argomenti));
    // The only other failure: the last option lacks its value.
    return QStringLiteral("manca il valore di %1").arg(argomenti.last());
}

// Our short options with their value attached ("-t4", "-i/tmp/p.ini") split as getopt splits
// them. Words of one dash that are whole names, ours ("-tasto") or Qt's ("-title"), stay whole.
QStringList separaOpzioniCorte(const QStringList& argomenti) {
    static const QStringList kParoleIntere{
        QStringLiteral("tasto"), QStringLiteral("impostazioni"), QStringLiteral("title"),
        QStringLiteral("testability"), QStringLiteral("icon")};
    QStringList separati;
    for (qsizetype i = 0; i < argomenti.size(); ++i) {
        const QString& a = argomenti[i];
        const bool corta = i > 0 && a.size() > 2 && a[0] == QLatin1Char('-') &&
                           (a[1] == QLatin1Char('t') || a[1] == QLatin1Char('i'));
        if (a == QLatin1String("--")) {
            separati += argomenti.mid(i);
            break;
        }
        if (corta && !kParoleIntere.contains(a.mid(1)))
            separati << a.left(2) << a.mid(2);
        else
            separati << a;
    }
    return separati;
}

// An option given twice is a mistake, not a choice of the last.
QString ripetuta(const QCommandLineParser& parser, const QStringList& argomenti) {
    for (const QCommandLineOption* o : {&kTasto, &kImpostazioni})
        if (parser.values(*o).size() > 1)
            return QStringLiteral("opzione ripetuta: %1")
                .arg(comeScritta(o->names().at(1), argomenti));
    return {};
}

} // namespace

RigaDiComando RigaDiComando::leggi(const QStringList& scritti, bool provvisoria) {
    const QStringList argomenti = separaOpzioniCorte(scritti);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({kTasto, kImpostazioni, kAvvioAutomatico, kAiuto, kVersione});
    const bool letta = parser.parse(argomenti);
    const bool senzaFinestra =
        parser.isSet(kTasto) || parser.isSet(kAiuto) || parser.isSet(kVersione);

    if (provvisoria && !senzaFinestra && !letta &&
        forseOpzioniDiQt(argomenti, parser.unknownOptionNames()))
        return {};
    if (!letta)
        return rigaErrata(erroreDiLettura(parser, argomenti));
    if (!parser.positionalArguments().isEmpty())
        return rigaErrata(
            QStringLiteral("argomento inatteso: %1").arg(parser.positionalArguments().first()));

    if (const QString errore = ripetuta(parser, argomenti); !errore.isEmpty())
        return rigaErrata(errore);

    RigaDiComando riga;
    riga.avvioAutomatico = parser.isSet(kAvvioAutomatico);
    if (parser.isSet(kImpostazioni)) {
        const QString file = parser.value(kImpostazioni);
        if (file.isEmpty())
            return rigaErrata(QStringLiteral("--impostazioni vuole il nome di un file"));
        riga.impostazioni = QFileInfo(file).absoluteFilePath();
    }
    if (parser.isSet(kAiuto)) {
        riga.azione = Azione::Aiuto;
    } else if (parser.isSet(kVersione)) {
        riga.azione = Azione::Versione;
    } else if (parser.isSet(kTasto)) {
        const QString valore = parser.value(kTasto);
        if (valore.size() != 1 || valore < QLatin1String("1") || valore > QLatin1String("4"))
            return rigaErrata(
                QStringLiteral("--tasto vuole un numero da 1 a 4, non «%1»").arg(valore));
        riga.azione = Azione::Tasto;
        riga.tasto = valore.toInt();
    }
    return riga;
}

QString RigaDiComando::fileImpostazioni() const {
    return impostazioni.isEmpty() ? percorsoImpostazioni() : impostazioni;
}

QString RigaDiComando::fileScelto() const {
    return impostazioni.isEmpty() ? scegliImpostazioni().percorso : impostazioni;
}

QStringList RigaDiComando::argomentiDelleVoci() const {
    if (impostazioni.isEmpty())
        return {};
    return {QStringLiteral("--impostazioni"), impostazioni};
}

QStringList argomentiDelProcesso(int argc, char** argv) {
    QStringList argomenti;
    for (int i = 0; i < argc; ++i)
        argomenti << QString::fromLocal8Bit(argv[i]);
    return argomenti;
}

QString testoAiuto(const QString& fileImpostazioni) {
    QString testo = QStringLiteral(
        "Uso: pulsiero [OPZIONI]\n\n"
        "Telecomando software a codice variabile: senza opzioni mostra la finestra del pulsiero;\n"
        "con --tasto invia il comando di un tasto come un clic nella finestra, con le stesse\n"
        "impostazioni e lo stesso contatore dei passi, anche mentre la finestra è aperta.\n\n"
        "Opzioni:\n");
    for (const QCommandLineOption* o : {&kTasto, &kImpostazioni, &kAiuto, &kVersione}) {
        QString nomi = QStringLiteral("-%1, --%2").arg(o->names().at(0), o->names().at(1));
        if (!o->valueName().isEmpty())
            nomi += QLatin1Char(' ') + o->valueName();
        testo += QStringLiteral("  %1  %2\n").arg(nomi, -24).arg(o->description());
    }
    testo += QStringLiteral(
                 "\nFile delle impostazioni: %1\n\n"
                 "Stato di uscita con --tasto: 0 comando consegnato al ricevitore; 1 comando non\n"
                 "consegnato per un problema di connessione; 2 nessun comando inviato (contatore\n"
                 "dei passi non salvabile, porta non valida, opzioni errate).\n"
                 "I messaggi vanno sullo standard error, una riga ciascuno.\n")
                 .arg(fileImpostazioni);
    return testo;
}

QString testoVersioneProgramma() {
    return QStringLiteral("pulsiero %1.%2.%3\n%4\n")
        .arg(metadati::kVersioneMaggiore)
        .arg(metadati::kVersioneMinore)
        .arg(metadati::kRevisione)
        .arg(QString::fromUtf8(metadati::kCopyright));
}

int segnalaErrore(const RigaDiComando& riga) {
    std::fprintf(stderr, "pulsiero: %s\nUsare --help per l'elenco delle opzioni.\n",
                 riga.errore.toUtf8().constData());
    return kNienteInviato;
}

int eseguiSenzaFinestra(const RigaDiComando& riga, int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pulsiero"));
    switch (riga.azione) {
    case RigaDiComando::Azione::Aiuto:
        std::fputs(testoAiuto(riga.fileScelto()).toUtf8().constData(), stdout);
        return 0;
    case RigaDiComando::Azione::Versione:
        std::fputs(testoVersioneProgramma().toUtf8().constData(), stdout);
        return 0;
    case RigaDiComando::Azione::Tasto:
        return premiTasto(riga.tasto - 1, riga.fileImpostazioni());
    case RigaDiComando::Azione::Errore:
    case RigaDiComando::Azione::Finestra:
        break;
    }
    return segnalaErrore(riga);
}

} // namespace pulsiero
