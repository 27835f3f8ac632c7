#include "qt/platform/VoceDesktop.h"

#include "core/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pulsiero {

namespace {

bool richiedeVirgolette(const QString& testo) {
    static const QString kRiservati = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : testo)
        if (kRiservati.contains(c))
            return true;
    return false;
}

// The backslash of a string value is itself escaped, after the quoting rule's escapes.
QString valoreStringa(QString testo) {
    testo.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    testo.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return testo;
}

// A description as one short line for a menu: blanks and line breaks collapsed, cut with "…".
QString rigaBreve(const QString& testo) {
    constexpr int kMassimo = 60;
    const QString riga = testo.simplified();
    return riga.size() <= kMassimo ? riga : riga.left(kMassimo - 1) + QChar(0x2026);
}

// Letters, digits, "_" and "-" of a file's base name, so that the entry's name needs no quoting
// anywhere.
QString nomeSicuro(const QString& fileImpostazioni) {
    QString nome = QFileInfo(fileImpostazioni).completeBaseName().left(40);
    for (QChar& c : nome)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_') &&
            c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return nome;
}

} // namespace

QString iconaProgramma(const QString& eseguibile) {
    const QFileInfo accanto(
        QFileInfo(eseguibile).absoluteDir().filePath(QStringLiteral("pulsiero.svg")));
    return accanto.exists() ? accanto.canonicalFilePath() : QStringLiteral("pulsiero");
}

QString execDesktop(const QString& eseguibile) {
    QString argomento = eseguibile;
    argomento.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!richiedeVirgolette(argomento))
        return valoreStringa(argomento);
    QString quotato;
    for (const QChar c : argomento) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quotato += QLatin1Char('\\');
        quotato += c;
    }
    return valoreStringa(QLatin1Char('"') + quotato + QLatin1Char('"'));
}

QString execDesktop(const QString& eseguibile, const QStringList& argomenti) {
    QStringList parti{execDesktop(eseguibile)};
    for (const QString& argomento : argomenti)
        parti << execDesktop(argomento);
    return parti.join(QLatin1Char(' '));
}

QString voceDesktop(const QString& nome, const QString& eseguibile, const QStringList& argomenti,
                    const QString& icona, const QString& commento) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Exec=%3\n"
                          "Icon=%4\n"
                          "Terminal=false\n")
        .arg(valoreStringa(nome), valoreStringa(commento), execDesktop(eseguibile, argomenti),
             valoreStringa(icona));
}

QString execDellaVoce(const QString& testo) {
    bool principale = false;
    for (QString riga : testo.split(QLatin1Char('\n'))) {
        riga = riga.trimmed();
        if (riga.startsWith(QLatin1Char('[')))
            principale = riga == QLatin1String("[Desktop Entry]");
        else if (principale && riga.startsWith(QLatin1String("Exec=")))
            return riga.mid(5);
    }
    return {};
}

QString azioniTasti(const QString& eseguibile, const QStringList& argomenti,
                    const std::array<QString, 4>& descrizioni) {
    QString testo = QStringLiteral("Actions=tasto1;tasto2;tasto3;tasto4;\n");
    for (int i = 0; i < 4; ++i) {
        const QString tasto = QStringLiteral("Tasto %1").arg(i + 1);
        const QString descrizione = rigaBreve(descrizioni[i]);
        const QString nome = descrizione.isEmpty() || descrizione == tasto
                                 ? tasto
                                 : tasto + QStringLiteral(": ") + descrizione;
        testo += QStringLiteral("\n[Desktop Action tasto%1]\nName=%2\nExec=%3\n")
                     .arg(i + 1)
                     .arg(valoreStringa(nome),
                          execDesktop(eseguibile, argomenti + QStringList{QStringLiteral("--tasto"),
                                                                          QString::number(i + 1)}));
    }
    return testo;
}

QString distintivoVoci(const QString& fileImpostazioni) {
    if (fileImpostazioni.isEmpty())
        return {};
    const QByteArray percorso =
        QFile::encodeName(QDir::cleanPath(QFileInfo(fileImpostazioni).absoluteFilePath()));
    const QByteArray impronta = QCryptographicHash::hash(percorso, QCryptographicHash::Sha256);
    return QLatin1Char('-') + nomeSicuro(fileImpostazioni) + QLatin1Char('-') +
           QString::fromLatin1(impronta.left(4).toHex());
}

QString nomeVisibile(const QString& nome, const QString& fileImpostazioni) {
    if (fileImpostazioni.isEmpty())
        return nome;
    return QStringLiteral("%1 (%2)").arg(nome, QFileInfo(fileImpostazioni).completeBaseName());
}

bool scriviVoce(const QString& percorso, const QString& testo, std::optional<unsigned> modo) {
    // Removing the link first leaves nothing to follow: the rename below puts a file of ours
    // where the link was.
    if (QFileInfo(percorso).isSymLink() && !QFile::remove(percorso))
        return false;
    return static_cast<bool>(file::sostituisci(QFile::encodeName(percorso).toStdString(),
                                               testo.toStdString(), file::Permessi{modo}));
}

} // namespace pulsiero
