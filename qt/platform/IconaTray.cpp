#include "qt/platform/IconaTray.h"

#include "qt/platform/Metadati.h"

namespace pulsiero {

QString testoVersione(int maggiore, int minore, int revisione) {
    return QStringLiteral("%1.%2%3").arg(maggiore).arg(minore).arg(revisione);
}

QString testoVersione() {
    return testoVersione(metadati::kVersioneMaggiore, metadati::kVersioneMinore,
                         metadati::kRevisione);
}

QString IconaTray::tooltip() {
    const QString testo = QString::fromUtf8(metadati::kTitolo) + QLatin1Char(' ') +
                          testoVersione() + QStringLiteral(" - ") +
                          QString::fromUtf8(metadati::kCopyright);
    return testo.left(kLunghezzaMassimaTooltip);
}

QString IconaTray::tooltip(const QString& nome) {
    return nome.isEmpty() ? tooltip()
                          : nome.left(kLunghezzaMassimaTooltip) + QLatin1Char('\n') + tooltip();
}

void IconaTray::impostaNome(const QString& nome) {
    icona_.setToolTip(tooltip(nome));
}

IconaTray::IconaTray(const QIcon& icona, QObject* parent) : QObject(parent) {
    menu_.setObjectName(QStringLiteral("MenuTray"));
    QAction* apri = menu_.addAction(QStringLiteral("Apri il pulsiero"));
    apri->setObjectName(QStringLiteral("MenuTrayApri"));
    menu_.addSeparator();
    QAction* fine = menu_.addAction(QStringLiteral("Fine programma"));
    fine->setObjectName(QStringLiteral("MenuTrayFine"));
    connect(apri, &QAction::triggered, this, &IconaTray::apriRichiesto);
    connect(fine, &QAction::triggered, this, &IconaTray::fineRichiesta);

    icona_.setIcon(icona);
    icona_.setToolTip(tooltip());
    icona_.setContextMenu(&menu_);
    connect(&icona_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason motivo) {
                if (motivo == QSystemTrayIcon::Trigger)
                    emit apriRichiesto();
            });
}

void IconaTray::AggiungiIcona() {
    icona_.show();
}

void IconaTray::RimuoviIcona() {
    icona_.hide();
}

} // namespace pulsiero
