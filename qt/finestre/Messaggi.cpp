#include "qt/finestre/Messaggi.h"

#include <QPushButton>

namespace pulsiero {

Messaggi::Messaggi(QObject* parent) : QObject(parent) {}

void Messaggi::avviso(const QString& titolo, const QString& testo) {
    accoda({QMessageBox::Warning, titolo, testo, {}});
}

void Messaggi::errore(const QString& titolo, const QString& testo) {
    accoda({QMessageBox::Critical, titolo, testo, {}});
}

void Messaggi::informazione(const QString& titolo, const QString& testo) {
    accoda({QMessageBox::Information, titolo, testo, {}});
}

void Messaggi::mostra(const Avviso& avviso) {
    switch (avviso.tipo) {
    case Avviso::Tipo::Attenzione:
        return this->avviso(avviso.titolo, avviso.testo);
    case Avviso::Tipo::Errore:
        return errore(avviso.titolo, avviso.testo);
    case Avviso::Tipo::Informazione:
        return informazione(avviso.titolo, avviso.testo);
    }
}

void Messaggi::domanda(const QString& titolo, const QString& testo, Risposta risposta) {
    accoda({QMessageBox::Question, titolo, testo, std::move(risposta)});
}

void Messaggi::scelta(const QString& titolo, const QString& testo, const QString& si,
                      const QString& no, Risposta risposta) {
    accoda({QMessageBox::Warning, titolo, testo, std::move(risposta), si, no});
}

void Messaggi::accoda(Richiesta richiesta) {
    inAttesa_.push_back(std::move(richiesta));
    if (!aperto_)
        mostraProssimo();
}

void Messaggi::mostraProssimo() {
    if (inAttesa_.empty())
        return;
    Richiesta richiesta = std::move(inAttesa_.front());
    inAttesa_.pop_front();

    const bool domanda = richiesta.icona == QMessageBox::Question;
    const bool scelta = !richiesta.si.isEmpty();
    auto* box = new QMessageBox(richiesta.icona, richiesta.titolo, richiesta.testo,
                                scelta    ? QMessageBox::NoButton
                                : domanda ? QMessageBox::Yes | QMessageBox::No
                                          : QMessageBox::Ok);
    QPushButton* si = scelta ? box->addButton(richiesta.si, QMessageBox::DestructiveRole) : nullptr;
    if (scelta) {
        QPushButton* no = box->addButton(richiesta.no, QMessageBox::RejectRole);
        box->setDefaultButton(no);
        box->setEscapeButton(no);
    }
    box->setObjectName(QStringLiteral("Messaggio"));
    box->setTextFormat(Qt::PlainText); // texts may quote paths and settings as typed
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this,
            [this, box, si, risposta = std::move(richiesta.risposta)](int) {
                const bool sceltoSi =
                    si ? box->clickedButton() == si
                       : box->standardButton(box->clickedButton()) == QMessageBox::Yes;
                if (risposta)
                    risposta(sceltoSi);
                aperto_ = nullptr;
                mostraProssimo();
            });
    aperto_ = box;
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace pulsiero

#include "moc_Messaggi.cpp"
