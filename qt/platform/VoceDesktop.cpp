#include "qt/platform/VoceDesktop.h"

#include <QDir>
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

} // namespace pulsiero
