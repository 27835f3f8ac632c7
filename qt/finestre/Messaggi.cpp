#include "qt/finestre/Messaggi.h"

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
    auto* box = new QMessageBox(richiesta.icona, richiesta.titolo, richiesta.testo,
                                domanda ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box->setObjectName(QStringLiteral("Messaggio"));
    box->setTextFormat(Qt::PlainText); // texts may quote paths and settings as typed
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, this,
            [this, box, risposta = std::move(richiesta.risposta)](int) {
                if (risposta)
                    risposta(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
                aperto_ = nullptr;
                mostraProssimo();
            });
    aperto_ = box;
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace pulsiero
