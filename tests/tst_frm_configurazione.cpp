#include "Aiuti.h"
#include "Ambienti.h"

#include "core/IniFile.h"
#include "qt/finestre/Frm_Configurazione.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextLayout>

using namespace pulsiero;

// The settings dialog: its boxes and pages, the keyboard rules, closing, and the reset.
class TestFrmConfigurazione : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controlli_data();
    void controlli();
    void aperturaRiempieLeCaselle();
    void tastiera_data();
    void tastiera();
    void invioSpostaIlFuoco_data();
    void invioSpostaIlFuoco();
    void fuocoSelezionaTutto();
    void incollaORilascia_data();
    void incollaORilascia();
    void escChiude();
    void chiusuraSenzaModificheNonScrive();
    void fileNonScrivibileSolaLettura();
    void etichetteCollegate_data();
    void etichetteCollegate();
    void fuocoNellaPrimaCasella_data();
    void fuocoNellaPrimaCasella();
    void testiLunghiDallInizio();
    void descrizioneSvuotataTornaTastoN();
    void chiusuraScriveTuttoERicarica();
    void chiusuraCorreggeNumeri_data();
    void chiusuraCorreggeNumeri();
    void resetNo();
    void resetSi();
    void resetConChiaveAvanzaIlCiclo();
    void paginaConservata();
    void salvataggioFallitoTieneLeModifiche();
    void invioPremeReset();
    void selezioneAllArrivoDelFuoco_data();
    void selezioneAllArrivoDelFuoco();

private:
    void apri();
    void chiudi();
    QLineEdit* box(const char* nome) const {
        return dialogo()->findChild<QLineEdit*>(QLatin1String(nome));
    }
    Frm_Configurazione* dialogo() const { return finestra_->dialogo(); }
    std::string leggi(const char* sezione, const char* chiave) const {
        return LeggiIni(sezione, chiave, "<none>", amb_->ambiente.percorsoIni.toStdString());
    }

    std::unique_ptr<AmbienteDiProva> amb_;
    std::unique_ptr<Frm_Pulsiero> finestra_;
};

void TestFrmConfigurazione::init() {
    amb_ = std::make_unique<AmbienteDiProva>();
    aiuti::scriviFile(amb_->ambiente.percorsoIni,
                      "; impostazioni\n[Server]\nIndirizzo=10.0.0.7\nPorta=2000\n"
                      "[Pulsiero]\nnome=Cancello\nID_Pul=5\nID_Dis=777\nt3=Luce\n"
                      "Suono=beep.wav\nPasso=12\n");
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->uscita().impostaTerminazione([](int) {});
    finestra_->impostaTrayDisponibile([] { return true; });
    finestra_->Form_Load();
}

void TestFrmConfigurazione::cleanup() {
    while (QMessageBox* b = aiuti::messaggioAperto())
        b->close();
    finestra_.reset();
    amb_.reset();
}

void TestFrmConfigurazione::apri() {
    finestra_->menu().MenuConfigura->trigger();
    QVERIFY(dialogo()->isVisible());
    QVERIFY(!finestra_->isEnabled());
}

void TestFrmConfigurazione::chiudi() {
    dialogo()->close();
    QVERIFY(!dialogo()->isVisible());
    QVERIFY(finestra_->isEnabled());
}

void TestFrmConfigurazione::controlli_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<int>("pagina");
    QTest::addColumn<QRect>("posizione"); // relative to the tab control
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("nome") << "Txt_NomePul_0" << 0 << QRect(96, 56, 185, 19) << "Nome del pulsiero";
    QTest::newRow("tasto 1") << "Txt_NomePul_1" << 0 << QRect(96, 104, 185, 19)
                             << "Descrizione della funzione del primo tasto";
    QTest::newRow("tasto 4") << "Txt_NomePul_4" << 0 << QRect(96, 176, 185, 19)
                             << "Descrizione della funzione del quarto tasto";
    QTest::newRow("suono") << "Txt_NomePul_5" << 0 << QRect(96, 224, 185, 19)
                           << "File sonoro per tasto premuto";
    QTest::newRow("indirizzo") << "Txt_IP" << 1 << QRect(136, 64, 121, 19)
                               << "Indirizzo IP del ricevitore. Esempio 192.168.1.1";
    QTest::newRow("porta") << "Txt_Porta" << 1 << QRect(136, 96, 57, 19)
                           << "Numero della porta di comunicazione. Sona validi i valori da 1 "
                              "a 65535";
    QTest::newRow("ricevitore") << "Txt_NumeroD" << 2 << QRect(200, 64, 81, 19)
                                << "Numero del ricevitore. Sono validi i valori da 1 a 1048575";
    QTest::newRow("pulsiero") << "Txt_NumeroT" << 2 << QRect(200, 96, 81, 19)
                              << "Numero del pulsiero associato al ricevitore. Sono validi i "
                                 "valori da 1 a 128";
    QTest::newRow("reset") << "Cmd_Reset" << 2 << QRect(248, 216, 73, 25)
                           << "Inizializza il pulsiero";
}

void TestFrmConfigurazione::controlli() {
    QFETCH(QString, nome);
    QFETCH(int, pagina);
    QFETCH(QRect, posizione);
    QFETCH(QString, tooltip);
    apri();
    QCOMPARE(dialogo()->windowTitle(), QStringLiteral("Configurazione Pulsiero"));
    QCOMPARE(dialogo()->size(), QSize(363, 281));
    QTabWidget* tab = dialogo()->SSTab();
    QCOMPARE(tab->tabText(0) + tab->tabText(1) + tab->tabText(2),
             QStringLiteral("PulsieroRicevitoreCodifica"));
    QWidget* w = dialogo()->findChild<QWidget*>(nome);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), tab->widget(pagina));
    QCOMPARE(QRect(w->mapTo(tab, QPoint(0, 0)), w->size()), posizione);
    QCOMPARE(w->toolTip(), tooltip);
}

void TestFrmConfigurazione::aperturaRiempieLeCaselle() {
    apri();
    QCOMPARE(box("Txt_IP")->text(), QStringLiteral("10.0.0.7"));
    QCOMPARE(box("Txt_Porta")->text(), QStringLiteral("2000"));
    QCOMPARE(box("Txt_NomePul_0")->text(), QStringLiteral("Cancello"));
    QCOMPARE(box("Txt_NomePul_1")->text(), QStringLiteral("Tasto 1"));
    QCOMPARE(box("Txt_NomePul_3")->text(), QStringLiteral("Luce"));
    QCOMPARE(box("Txt_NomePul_5")->text(), QStringLiteral("beep.wav"));
    QCOMPARE(box("Txt_NumeroD")->text(), QStringLiteral("777"));
    QCOMPARE(box("Txt_NumeroT")->text(), QStringLiteral("5"));
    QCOMPARE(dialogo()->SSTab()->currentIndex(), 0);
}

void TestFrmConfigurazione::tastiera_data() {
    QTest::addColumn<QString>("casella");
    QTest::addColumn<QString>("iniziale");
    QTest::addColumn<QString>("digitato"); // "\n" for Enter, "\b" for Backspace
    QTest::addColumn<QString>("finale");
    QTest::newRow("digits pass") << "Txt_Porta"
                                 << ""
                                 << "8080"
                                 << "8080";
    QTest::newRow("letters discarded") << "Txt_Porta"
                                       << ""
                                       << "8a0.-x 8"
                                       << "808";
    QTest::newRow("backspace works") << "Txt_NumeroT"
                                     << ""
                                     << "12\b3"
                                     << "13";
    QTest::newRow("port above max on Enter") << "Txt_Porta"
                                             << "70000"
                                             << "\n"
                                             << "65535";
    QTest::newRow("port 0 on Enter") << "Txt_Porta"
                                     << "0"
                                     << "\n"
                                     << "1";
    QTest::newRow("empty port on Enter") << "Txt_Porta"
                                         << ""
                                         << "\n"
                                         << "1";
    QTest::newRow("port at max stays") << "Txt_Porta"
                                       << "65535"
                                       << "\n"
                                       << "65535";
    QTest::newRow("receiver above max") << "Txt_NumeroD"
                                        << "2000000"
                                        << "\n"
                                        << "1048575";
    QTest::newRow("transmitter above max") << "Txt_NumeroT"
                                           << "129"
                                           << "\n"
                                           << "128";
    QTest::newRow("leading zeros survive") << "Txt_NumeroT"
                                           << "007"
                                           << "\n"
                                           << "007";
    QTest::newRow("address takes anything") << "Txt_IP"
                                            << ""
                                            << "a-b.c 1"
                                            << "a-b.c 1";
    QTest::newRow("name takes anything") << "Txt_NomePul_0"
                                         << ""
                                         << "Eta: 3!"
                                         << "Eta: 3!";
}

void TestFrmConfigurazione::tastiera() {
    QFETCH(QString, casella);
    QFETCH(QString, iniziale);
    QFETCH(QString, digitato);
    QFETCH(QString, finale);
    apri();
    QLineEdit* b = box(casella.toLatin1().constData());
    b->setText(iniziale);
    b->setCursorPosition(iniziale.size());
    for (const QChar c : digitato) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(b, Qt::Key_Return);
        else if (c == QLatin1Char('\b'))
            QTest::keyClick(b, Qt::Key_Backspace);
        else
            QTest::keyClick(b, c.toLatin1());
    }
    QCOMPARE(b->text(), finale);
}

void TestFrmConfigurazione::invioSpostaIlFuoco_data() {
    QTest::addColumn<QString>("da");
    QTest::addColumn<QString>("a");
    QTest::newRow("name to key 1") << "Txt_NomePul_0"
                                   << "Txt_NomePul_1";
    QTest::newRow("key 4 to sound") << "Txt_NomePul_4"
                                    << "Txt_NomePul_5";
    QTest::newRow("sound back to name") << "Txt_NomePul_5"
                                        << "Txt_NomePul_0";
    QTest::newRow("address to port") << "Txt_IP"
                                     << "Txt_Porta";
    QTest::newRow("port back to address") << "Txt_Porta"
                                          << "Txt_IP";
    QTest::newRow("receiver to transmitter") << "Txt_NumeroD"
                                             << "Txt_NumeroT";
    QTest::newRow("transmitter to receiver") << "Txt_NumeroT"
                                             << "Txt_NumeroD";
}

void TestFrmConfigurazione::invioSpostaIlFuoco() {
    QFETCH(QString, da);
    QFETCH(QString, a);
    apri();
    QApplication::setActiveWindow(dialogo());
    QLineEdit* partenza = box(da.toLatin1().constData());
    dialogo()->SSTab()->setCurrentWidget(partenza->parentWidget());
    partenza->setFocus();
    QTest::keyClick(partenza, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), box(a.toLatin1().constData()));
}

void TestFrmConfigurazione::fuocoSelezionaTutto() {
    apri();
    QApplication::setActiveWindow(dialogo());
    box("Txt_NomePul_0")->setFocus();
    QTest::keyClick(box("Txt_NomePul_0"), Qt::Key_Return);
    QTRY_COMPARE(box("Txt_NomePul_1")->selectedText(), QStringLiteral("Tasto 1"));
}

// Text pasted or dropped into a number box is taken whole when it is a plain unsigned number,
// and otherwise refused whole, with a beep (the rejection Qt reports).
void TestFrmConfigurazione::incollaORilascia_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("rilascio");  // dropped, else pasted from the clipboard
    QTest::addColumn<QString>("finale"); // the box held "12", the cursor at its end
    for (const bool rilascio : {false, true}) {
        const char* come = rilascio ? "drop" : "paste";
        QTest::addRow("%s digits", come) << "34" << rilascio << "1234";
        QTest::addRow("%s fraction", come) << "2.5" << rilascio << "12";
        QTest::addRow("%s signed with blanks", come) << " -42 " << rilascio << "12";
        QTest::addRow("%s letters", come) << "8a0" << rilascio << "12";
        QTest::addRow("%s exponent", come) << "1e3" << rilascio << "12";
    }
}

void TestFrmConfigurazione::incollaORilascia() {
    QFETCH(QString, testo);
    QFETCH(bool, rilascio);
    QFETCH(QString, finale);
    apri();
    dialogo()->SSTab()->setCurrentIndex(1);
    QLineEdit* porta = box("Txt_Porta");
    porta->setText(QStringLiteral("12"));
    QSignalSpy rifiuti(porta, &QLineEdit::inputRejected);
    if (rilascio) {
        QMimeData dati;
        dati.setText(testo);
        const QPointF punto(porta->width() - 2, porta->height() / 2);
        QDragEnterEvent entra(punto.toPoint(), Qt::CopyAction, &dati, Qt::LeftButton, {});
        QApplication::sendEvent(porta, &entra);
        QDropEvent rilascia(punto, Qt::CopyAction, &dati, Qt::LeftButton, {});
        QApplication::sendEvent(porta, &rilascia);
    } else {
        QGuiApplication::clipboard()->setText(testo);
        porta->setCursorPosition(2);
        porta->paste();
    }
    QCOMPARE(porta->text(), finale);
    QCOMPARE(rifiuti.size(), finale == QStringLiteral("12") ? 1 : 0);
}

// Esc is a close request, the close button's: the edits are saved.
void TestFrmConfigurazione::escChiude() {
    apri();
    QApplication::setActiveWindow(dialogo());
    box("Txt_IP")->setText(QStringLiteral("10.0.0.9"));
    QTest::keyClick(box("Txt_NomePul_0"), Qt::Key_Escape);
    QVERIFY(!dialogo()->isVisible());
    QVERIFY(finestra_->isEnabled());
    QCOMPARE(leggi("Server", "Indirizzo"), std::string("10.0.0.9"));
}

// Nothing changed, nothing written: key 1's built-in description does not land in the file.
void TestFrmConfigurazione::chiusuraSenzaModificheNonScrive() {
    const QByteArray prima = aiuti::leggiFile(amb_->ambiente.percorsoIni);
    apri();
    dialogo()->SSTab()->setCurrentIndex(2);
    chiudi();
    QCOMPARE(aiuti::leggiFile(amb_->ambiente.percorsoIni), prima);
    QCOMPARE(leggi("Pulsiero", "t1"), std::string("<none>"));
}

// A settings file that cannot be written opens read-only, says so, and closes without a word.
// (Root may write any file: a folder in the file's place stands for one it may not.)
void TestFrmConfigurazione::fileNonScrivibileSolaLettura() {
    QVERIFY(QFile::remove(amb_->ambiente.percorsoIni));
    QVERIFY(QDir().mkdir(amb_->ambiente.percorsoIni));
    apri();
    for (QLineEdit* b : dialogo()->findChildren<QLineEdit*>())
        QVERIFY2(b->isReadOnly(), qPrintable(b->objectName()));
    QVERIFY(!dialogo()->findChild<QPushButton*>("Cmd_Reset")->isEnabled());
    auto* nota = dialogo()->findChild<QLabel*>("Lab_SolaLettura");
    QVERIFY(nota && nota->isVisible());
    QVERIFY(nota->text().startsWith(QStringLiteral("Sola lettura:")));
    QVERIFY(nota->text().contains(QFileInfo(amb_->ambiente.percorsoIni).fileName()));
    QVERIFY(dialogo()->rect().contains(nota->geometry()));
    QTest::keyClick(box("Txt_NumeroT"), Qt::Key_Return); // no fix-up in a read-only box
    chiudi();
    // The reload that follows says the folder cannot be read; the dialog itself says nothing.
    if (QMessageBox* avviso = aiuti::messaggioAperto()) {
        QCOMPARE(avviso->windowTitle(), QStringLiteral("File di configurazione"));
        avviso->close();
    }
    QVERIFY(!aiuti::messaggioAperto());

    QVERIFY(QDir().rmdir(amb_->ambiente.percorsoIni)); // writable again: editable again
    apri();
    QVERIFY(!box("Txt_IP")->isReadOnly());
    QVERIFY(!nota->isVisible());
    QCOMPARE(dialogo()->size(), QSize(363, 281));
}

// Every label names its box for screen readers, and Alt with its underlined letter reaches it.
void TestFrmConfigurazione::etichetteCollegate_data() {
    QTest::addColumn<QString>("casella");
    QTest::addColumn<int>("pagina");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<int>("tasto"); // with Alt
    QTest::newRow("name") << "Txt_NomePul_0" << 0 << "Nome:" << int(Qt::Key_N);
    QTest::newRow("key 1") << "Txt_NomePul_1" << 0 << "Tasto 1:" << int(Qt::Key_1);
    QTest::newRow("key 4") << "Txt_NomePul_4" << 0 << "Tasto 4:" << int(Qt::Key_4);
    QTest::newRow("sound") << "Txt_NomePul_5" << 0 << "Suono:" << int(Qt::Key_S);
    QTest::newRow("address") << "Txt_IP" << 1 << "Indirizzo IP:" << int(Qt::Key_I);
    QTest::newRow("port") << "Txt_Porta" << 1 << "Porta:" << int(Qt::Key_P);
    QTest::newRow("receiver") << "Txt_NumeroD" << 2 << "Numero del ricevitore:" << int(Qt::Key_R);
    QTest::newRow("transmitter") << "Txt_NumeroT" << 2 << "Numero del pulsiero:" << int(Qt::Key_P);
}

void TestFrmConfigurazione::etichetteCollegate() {
    QFETCH(QString, casella);
    QFETCH(int, pagina);
    QFETCH(QString, nome);
    QFETCH(int, tasto);
    apri();
    QAccessibleInterface* finestra = QAccessible::queryAccessibleInterface(dialogo());
    QCOMPARE(finestra->role(), QAccessible::Dialog);
    QLineEdit* b = box(casella.toLatin1().constData());
    QCOMPARE(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), nome);
    QApplication::setActiveWindow(dialogo());
    dialogo()->SSTab()->setCurrentIndex(pagina);
    QTest::keyClick(dialogo(), Qt::Key(tasto), Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), b);
}

// Opening puts the keyboard in the first box of the page shown, its text selected.
void TestFrmConfigurazione::fuocoNellaPrimaCasella_data() {
    QTest::addColumn<int>("pagina");
    QTest::addColumn<QString>("casella");
    QTest::newRow("Pulsiero") << 0 << "Txt_NomePul_0";
    QTest::newRow("Ricevitore") << 1 << "Txt_IP";
    QTest::newRow("Codifica") << 2 << "Txt_NumeroD";
}

void TestFrmConfigurazione::fuocoNellaPrimaCasella() {
    QFETCH(int, pagina);
    QFETCH(QString, casella);
    apri();
    dialogo()->SSTab()->setCurrentIndex(pagina);
    chiudi();
    apri();
    QLineEdit* b = box(casella.toLatin1().constData());
    QCOMPARE(dialogo()->focusWidget(), b);
    QCOMPARE(b->selectedText(), b->text());
}

// A text longer than its box shows its beginning: on opening, and when Tab brings the focus.
void TestFrmConfigurazione::testiLunghiDallInizio() {
    const QByteArray lungo = "Inizio " + QByteArray(200, 'x') + " fine";
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Server]\nIndirizzo=" + lungo +
                                                      "\n[Pulsiero]\nnome=" + lungo +
                                                      "\nt2=" + lungo + "\nSuono=" + lungo + "\n");
    finestra_->menu().MenuInitCom->trigger();
    aiuti::messaggioAperto()->close();
    apri();
    for (const char* nome : {"Txt_NomePul_0", "Txt_NomePul_2", "Txt_NomePul_5", "Txt_IP"})
        QVERIFY2(box(nome)->cursorPosition() == 0, nome);
    QApplication::setActiveWindow(dialogo());
    box("Txt_NomePul_1")->setFocus();
    QTest::keyClick(box("Txt_NomePul_1"), Qt::Key_Tab);
    QTRY_COMPARE(box("Txt_NomePul_2")->cursorPosition(), 0);
    QCOMPARE(box("Txt_NomePul_2")->selectedText(), QString::fromLatin1(lungo));
}

// An emptied key description gives the key its own name back, not the description it replaced.
void TestFrmConfigurazione::descrizioneSvuotataTornaTastoN() {
    apri();
    QCOMPARE(box("Txt_NomePul_3")->text(), QStringLiteral("Luce"));
    box("Txt_NomePul_3")->clear();
    chiudi();
    QCOMPARE(leggi("Pulsiero", "t3"), std::string(""));
    QCOMPARE(finestra_->findChild<QWidget*>("Img_Pulsante_2")->accessibleName(),
             QStringLiteral("Tasto 3"));
    apri();
    QCOMPARE(box("Txt_NomePul_3")->text(), QStringLiteral("Tasto 3"));
}

void TestFrmConfigurazione::chiusuraScriveTuttoERicarica() {
    apri();
    box("Txt_IP")->setText(QStringLiteral("192.168.1.9"));
    box("Txt_Porta")->setText(QString());
    box("Txt_NomePul_0")->setText(QStringLiteral(" Garage "));
    box("Txt_NomePul_2")->setText(QString());
    chiudi();
    QCOMPARE(leggi("Server", "Indirizzo"), std::string("192.168.1.9"));
    QCOMPARE(leggi("Server", "Porta"), std::string("100")); // an empty port becomes 100
    QCOMPARE(leggi("Pulsiero", "nome"), std::string("Garage"));
    QCOMPARE(leggi("Pulsiero", "ID_Pul"), std::string("5"));
    QCOMPARE(leggi("Pulsiero", "ID_Dis"), std::string("777"));
    QCOMPARE(leggi("Pulsiero", "t1"), std::string("Tasto 1"));
    QCOMPARE(leggi("Pulsiero", "t2"), std::string(""));
    QCOMPARE(leggi("Pulsiero", "t3"), std::string("Luce"));
    QCOMPARE(leggi("Pulsiero", "t4"), std::string("Tasto 4"));
    QCOMPARE(leggi("Pulsiero", "suono"), std::string("beep.wav"));
    QCOMPARE(leggi("Pulsiero", "Passo"), std::string("12"));
    const QByteArray file = aiuti::leggiFile(amb_->ambiente.percorsoIni);
    QVERIFY(file.startsWith("; impostazioni\n"));
    QVERIFY(file.contains("Suono=beep.wav\n"));
    QCOMPARE(finestra_->configurazione().impostazioni().IndirizzoIP, std::string("192.168.1.9"));
    // The emptied description shows the key's own name.
    apri();
    QCOMPARE(box("Txt_NomePul_2")->text(), QStringLiteral("Tasto 2"));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestFrmConfigurazione::chiusuraCorreggeNumeri_data() {
    QTest::addColumn<QString>("casella");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("scritto");
    QTest::newRow("port 70000") << "Txt_Porta"
                                << "70000"
                                << "Porta"
                                << "65535";
    QTest::newRow("port 0") << "Txt_Porta"
                            << "0"
                            << "Porta"
                            << "1";
    QTest::newRow("receiver 2000000") << "Txt_NumeroD"
                                      << "2000000"
                                      << "ID_Dis"
                                      << "1048575";
    QTest::newRow("transmitter 0") << "Txt_NumeroT"
                                   << "0"
                                   << "ID_Pul"
                                   << "1";
    QTest::newRow("transmitter empty") << "Txt_NumeroT"
                                       << ""
                                       << "ID_Pul"
                                       << "1";
    QTest::newRow("leading zeros") << "Txt_NumeroD"
                                   << "007"
                                   << "ID_Dis"
                                   << "007";
}

void TestFrmConfigurazione::chiusuraCorreggeNumeri() {
    QFETCH(QString, casella);
    QFETCH(QString, testo);
    QFETCH(QString, chiave);
    QFETCH(QString, scritto);
    apri();
    box(casella.toLatin1().constData())->setText(testo);
    chiudi();
    const char* sezione = chiave == QStringLiteral("Porta") ? "Server" : "Pulsiero";
    QCOMPARE(QString::fromStdString(leggi(sezione, chiave.toLatin1().constData())), scritto);
}

void TestFrmConfigurazione::resetNo() {
    apri();
    dialogo()->findChild<QPushButton*>("Cmd_Reset")->click();
    QVERIFY(aiuti::chiudiMessaggio(
        QStringLiteral("Inizializzazione del pulsiero"),
        QStringLiteral("Attenzione: L'inizializzazione del pulsiero potrebbe portare ad una "
                       "perdita temporanea della sua funzionalità a causa del possibile "
                       "disallineamento con il ricevitore. Procedere ugualmente con "
                       "l'inizializzazione ?"),
        QMessageBox::Question, QMessageBox::No));
    QCOMPARE(leggi("Pulsiero", "Passo"), std::string("12"));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestFrmConfigurazione::resetSi() {
    apri();
    box("Txt_IP")->setText(QStringLiteral("not yet saved"));
    dialogo()->findChild<QPushButton*>("Cmd_Reset")->click();
    QVERIFY(aiuti::messaggioAperto());
    aiuti::messaggioAperto()->button(QMessageBox::Yes)->click();
    QVERIFY(aiuti::chiudiMessaggio(
        QStringLiteral("Inizializzazione del pulsiero"),
        QStringLiteral("Attenzione: L'inizializzazione del pulsiero è stata eseguita "
                       "correttamente. Si ricorda che, se il pulsiero ha perso la sua "
                       "funzionalità, occore attivare la procedura di inizializzazione dei "
                       "pulsieri sul ricevitore."),
        QMessageBox::Information));
    QCOMPARE(leggi("Pulsiero", "Passo"), std::string("0"));
    QCOMPARE(leggi("Server", "Indirizzo"), std::string("10.0.0.7"));
}

// With a key the reset also advances the wrap count, so no counter the receiver saw comes again.
void TestFrmConfigurazione::resetConChiaveAvanzaIlCiclo() {
    QVERIFY(ScriviIni({{"Pulsiero", "Chiave", std::string(64, '2')}, {"Pulsiero", "Ciclo", "3"}},
                      amb_->ambiente.percorsoIni.toStdString()));
    apri();
    dialogo()->findChild<QPushButton*>("Cmd_Reset")->click();
    QVERIFY(aiuti::messaggioAperto());
    aiuti::messaggioAperto()->button(QMessageBox::Yes)->click();
    QVERIFY(aiuti::messaggioAperto());
    QCOMPARE(aiuti::messaggioAperto()->icon(), QMessageBox::Information);
    aiuti::messaggioAperto()->close();
    QCOMPARE(leggi("Pulsiero", "Passo"), std::string("0"));
    QCOMPARE(leggi("Pulsiero", "Ciclo"), std::string("4"));
}

void TestFrmConfigurazione::paginaConservata() {
    apri();
    dialogo()->SSTab()->setCurrentIndex(2);
    chiudi();
    apri();
    QCOMPARE(dialogo()->SSTab()->currentIndex(), 2);
}

// A close whose save fails asks: staying keeps the dialog open with the edits, and the next
// close saves; closing without saving loses them on purpose.
void TestFrmConfigurazione::salvataggioFallitoTieneLeModifiche() {
    // The path, unbroken, and the cause; the warning never wraps inside the path.
    const QString percorso = amb_->ambiente.percorsoIni;
    const QString testo = QStringLiteral("Attenzione: non è stato possibile salvare la "
                                         "configurazione nel file %1 (non è un file regolare). "
                                         "Chiudere senza salvare le modifiche?")
                              .arg(QString(percorso)
                                       .replace(QStringLiteral("/"), QStringLiteral("/\u2060"))
                                       .replace(QStringLiteral("-"), QStringLiteral("-\u2060")));
    // At every width the path fits in, no line ends inside it.
    const auto senzaACapoNelPercorso = [&testo, &percorso] {
        const QFont font = aiuti::messaggioAperto()->font();
        const int inizio = int(testo.indexOf(QLatin1Char('/')));
        const int fine = inizio + int(percorso.size() + percorso.count(QLatin1Char('/')) +
                                      percorso.count(QLatin1Char('-')));
        for (int larghezza = QFontMetrics(font).horizontalAdvance(percorso) + 8; larghezza < 900;
             larghezza += 7) {
            QTextLayout layout(testo, font);
            layout.beginLayout();
            for (QTextLine riga = layout.createLine(); riga.isValid(); riga = layout.createLine()) {
                riga.setLineWidth(larghezza);
                const int a = riga.textStart() + riga.textLength();
                if (a > inizio && a < fine)
                    return false;
            }
            layout.endLayout();
        }
        return true;
    };
    const auto pulsante = [](QMessageBox::ButtonRole ruolo) -> QAbstractButton* {
        QMessageBox* box = aiuti::messaggioAperto();
        for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>{})
            if (box->buttonRole(b) == ruolo)
                return b;
        return nullptr;
    };
    const auto rendiNonScrivibile = [this] {
        QVERIFY(QFile::remove(amb_->ambiente.percorsoIni));
        QVERIFY(QDir().mkdir(amb_->ambiente.percorsoIni)); // a folder where the file should be
    };
    apri();
    box("Txt_IP")->setText(QStringLiteral("192.168.4.21"));
    rendiNonScrivibile();
    dialogo()->close();
    QVERIFY(QTest::qWaitFor([] { return aiuti::messaggioAperto() != nullptr; }, 3000));
    QCOMPARE(aiuti::messaggioAperto()->text(), testo);
    QVERIFY(senzaACapoNelPercorso());
    QCOMPARE(aiuti::messaggioAperto()->icon(), QMessageBox::Warning);
    QCOMPARE(pulsante(QMessageBox::DestructiveRole)->text(),
             QStringLiteral("Chiudi senza salvare"));
    QCOMPARE(aiuti::messaggioAperto()->escapeButton(), pulsante(QMessageBox::RejectRole));
    QTest::mouseClick(pulsante(QMessageBox::RejectRole), Qt::LeftButton); // stay
    QVERIFY(dialogo()->isVisible());
    QVERIFY(!finestra_->isEnabled());
    QCOMPARE(box("Txt_IP")->text(), QStringLiteral("192.168.4.21"));

    QVERIFY(QDir().rmdir(amb_->ambiente.percorsoIni));
    chiudi();
    QCOMPARE(leggi("Server", "Indirizzo"), std::string("192.168.4.21"));

    apri();
    box("Txt_IP")->setText(QStringLiteral("192.168.4.99"));
    rendiNonScrivibile();
    dialogo()->close();
    QVERIFY(QTest::qWaitFor([] { return aiuti::messaggioAperto() != nullptr; }, 3000));
    QTest::mouseClick(pulsante(QMessageBox::DestructiveRole), Qt::LeftButton);
    QVERIFY(!dialogo()->isVisible());
    QVERIFY(finestra_->isEnabled());
    QVERIFY(QFileInfo(amb_->ambiente.percorsoIni).isDir());
}

void TestFrmConfigurazione::invioPremeReset() {
    apri();
    QTest::keyClick(dialogo()->findChild<QPushButton*>("Cmd_Reset"), Qt::Key_Return);
    QVERIFY(aiuti::messaggioAperto());
    QCOMPARE(aiuti::messaggioAperto()->windowTitle(),
             QStringLiteral("Inizializzazione del pulsiero"));
}

// The whole text is selected when the focus arrives by Tab, Shift+Tab or Enter, and only then:
// not after a click, nor when a context menu (Paste...) closes, nor on the window's activation.
void TestFrmConfigurazione::selezioneAllArrivoDelFuoco_data() {
    QTest::addColumn<int>("motivo");
    QTest::addColumn<QString>("selezionato");
    QTest::newRow("Tab") << int(Qt::TabFocusReason) << "4321";
    QTest::newRow("Shift+Tab") << int(Qt::BacktabFocusReason) << "4321";
    QTest::newRow("context menu closed") << int(Qt::PopupFocusReason) << "";
    QTest::newRow("click") << int(Qt::MouseFocusReason) << "";
    QTest::newRow("window activated") << int(Qt::ActiveWindowFocusReason) << "";
}

void TestFrmConfigurazione::selezioneAllArrivoDelFuoco() {
    QFETCH(int, motivo);
    QFETCH(QString, selezionato);
    apri();
    QApplication::setActiveWindow(dialogo());
    dialogo()->SSTab()->setCurrentIndex(1);
    QLineEdit* porta = box("Txt_Porta");
    porta->setText(QStringLiteral("4321"));
    box("Txt_IP")->setFocus();
    porta->setCursorPosition(2);
    porta->setFocus(Qt::FocusReason(motivo));
    QCOMPARE(QApplication::focusWidget(), porta);
    QTest::qWait(20);
    QCOMPARE(porta->selectedText(), selezionato);
}

QTEST_MAIN(TestFrmConfigurazione)
#include "tst_frm_configurazione.moc"
