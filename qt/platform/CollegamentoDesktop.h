#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace pulsiero {

// The launcher in the user's desktop folder: "Pulsiero.desktop" for the usual settings file, a
// name of its own for each other one. It offers the four keys as actions.
class CollegamentoDesktop {
public:
    // fileImpostazioni: the settings file the launcher is for, empty for the usual one.
    CollegamentoDesktop(const QString& cartella, const QString& eseguibile,
                        const QStringList& argomenti = {}, const QString& fileImpostazioni = {});

    // Writes the launcher, making the desktop folder when it is missing, executable and, where the
    // desktop supports it, trusted, so that it starts on a double-click. The keys' descriptions
    // name its actions. False when it could not be written.
    bool crea(const std::array<QString, 4>& descrizioni) const;
    // The launcher already on the desktop, when it is this program's for this file, follows
    // descriptions changed since it was made; nothing else is touched.
    void aggiorna(const std::array<QString, 4>& descrizioni) const;
    bool elimina() const;

    QString percorso() const;

    static QString cartellaPredefinita();

private:
    QString testo(const std::array<QString, 4>& descrizioni) const;

    QString cartella_;
    QString eseguibile_;
    QStringList argomenti_;
    QString fileImpostazioni_;
};

} // namespace pulsiero
