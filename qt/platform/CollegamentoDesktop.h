#pragma once

#include <QString>
#include <QStringList>

namespace pulsiero {

// The launcher "Pulsiero.desktop" in the user's desktop folder.
class CollegamentoDesktop {
public:
    CollegamentoDesktop(const QString& cartella, const QString& eseguibile,
                        const QStringList& argomenti = {});

    // Writes the launcher, making the desktop folder when it is missing, executable and, where the
    // desktop supports it, trusted, so that it starts on a double-click. False when it could not be
    // written.
    bool crea() const;
    bool elimina() const;

    QString percorso() const;

    static QString cartellaPredefinita();

private:
    QString cartella_;
    QString eseguibile_;
    QStringList argomenti_;
};

} // namespace pulsiero
