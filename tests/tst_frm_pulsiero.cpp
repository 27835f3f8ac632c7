#include "Aiuti.h"
#include "Ambienti.h"

#include "settings/IniFile.h"
#include "ui/Contorno.h"
#include "ui/Frm_Pulsiero.h"

#include <QMenuBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace pulsiero;

// The main window: layout, key feedback, menus, start-up and exit, on real widgets.
class TestFrmPulsiero : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void geometria_data();
    void geometria();
    void finestraDiDimensioneFissa();
    void statoDopoLAvvio();
    void contornoSegueIlPuntatore();
    void clicSinistroInviaIlTasto_data();
    void clicSinistroInviaIlTasto();
    void tastoDestroSoloRiscontro();
    void rilascioFuoriDalTasto();
    void tastieraDa1a4();
    void menu_data();
    void menu();
    void chiusuraTerminaIlProgramma();
    void ctrlXTermina();
    void avvioAutomaticoConTray();
    void avvioAutomaticoSenzaTray();
    void trayMostraLaFinestraETermina();
    void inizializzaComunicazione();
    void tooltipDellIcona();

private:
    void avvia(const QByteArray& ini = {});
    QWidget* figlio(const QString& nome) const { return finestra_->findChild<QWidget*>(nome); }
    Contorno* contorno(int i) const {
        return finestra_->findChild<Contorno*>(QStringLiteral("Shp_Bianco_%1").arg(i));
    }
    QPoint centroTasto(int i) const {
        return figlio(QStringLiteral("Img_Pulsante_%1").arg(i))->geometry().center();
    }
    QWidget* area() const { return finestra_->centralWidget(); }
    // Mouse events go through the window, as the platform delivers them, so that Qt picks the
    // widget under the pointer and keeps the pressed key's grab.
    QPoint nellaFinestra(QPoint p) const { return area()->mapTo(finestra_.get(), p); }
    void muovi(QPoint p) { QTest::mouseMove(finestra_->windowHandle(), nellaFinestra(p)); }
    void premi(Qt::MouseButton b, QPoint p) {
        QTest::mousePress(finestra_->windowHandle(), b, {}, nellaFinestra(p));
    }
    void rilascia(Qt::MouseButton b, QPoint p) {
        QTest::mouseRelease(finestra_->windowHandle(), b, {}, nellaFinestra(p));
    }
    QString passo() const {
        return QString::fromStdString(
            LeggiIni("Pulsiero", "Passo", "<none>", amb_->ambiente.percorsoIni.toStdString()));
    }
    QByteArray riceviTrama();

    std::unique_ptr<AmbienteDiProva> amb_;
    std::unique_ptr<QTcpServer> server_;
    std::unique_ptr<Frm_Pulsiero> finestra_;
    QList<int> uscite_;
};

void TestFrmPulsiero::init() {
    amb_ = std::make_unique<AmbienteDiProva>();
    server_ = std::make_unique<QTcpServer>();
    QVERIFY(server_->listen(QHostAddress::LocalHost));
    uscite_.clear();
}

void TestFrmPulsiero::cleanup() {
    finestra_.reset();
    while (QMessageBox* box = aiuti::messaggioAperto())
        box->close();
    server_.reset();
    amb_.reset();
}

void TestFrmPulsiero::avvia(const QByteArray& ini) {
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Server]\nIndirizzo=127.0.0.1\nPorta=" +
                                                      QByteArray::number(server_->serverPort()) +
                                                      "\n" + ini);
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->uscita().impostaTerminazione([this](int codice) { uscite_.append(codice); });
    finestra_->impostaTrayDisponibile([] { return true; });
    finestra_->trasmettitore().impostaOrologio([] { return Momento{630, 5}; });
    finestra_->Form_Load();
}

QByteArray TestFrmPulsiero::riceviTrama() {
    // The event loop may already have accepted it while the click was delivered.
    if (!server_->hasPendingConnections() && !server_->waitForNewConnection(2000))
        return "<no connection>";
    QTcpSocket* peer = server_->nextPendingConnection();
    QByteArray ricevuto;
    (void)QTest::qWaitFor(
        [&] {
            ricevuto += peer->readAll();
            return peer->state() == QAbstractSocket::UnconnectedState;
        },
        2000);
    return ricevuto + peer->readAll();
}

void TestFrmPulsiero::geometria_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QRect>("posizione");
    QTest::newRow("Img_Sfondo") << "Img_Sfondo" << QRect(0, 0, 202, 310);
    QTest::newRow("Img_Invio") << "Img_Invio" << QRect(88, 16, 32, 32);
    QTest::newRow("Lab_Pulsiero") << "Lab_Pulsiero" << QRect(32, 216, 137, 17);
    const QList<QRect> tasti{
        {50, 73, 36, 37}, {112, 73, 36, 37}, {50, 136, 36, 37}, {112, 136, 36, 37}};
    const QList<QRect> contorni{
        {55, 80, 25, 25}, {117, 80, 25, 25}, {55, 143, 25, 25}, {117, 143, 25, 25}};
    for (int i = 0; i < 4; ++i) {
        const QString tasto = QStringLiteral("Img_Pulsante_%1").arg(i);
        const QString shp = QStringLiteral("Shp_Bianco_%1").arg(i);
        QTest::newRow(qPrintable(tasto)) << tasto << tasti[i];
        QTest::newRow(qPrintable(shp)) << shp << contorni[i];
    }
}

void TestFrmPulsiero::geometria() {
    QFETCH(QString, nome);
    QFETCH(QRect, posizione);
    avvia();
    QWidget* w = figlio(nome);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), area());
    QCOMPARE(w->geometry(), posizione);
}

void TestFrmPulsiero::finestraDiDimensioneFissa() {
    avvia();
    QCOMPARE(area()->size(), QSize(203, 304));
    QCOMPARE(finestra_->minimumSize(), finestra_->maximumSize());
    QVERIFY(!(finestra_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(finestra_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(finestra_->windowTitle(), QStringLiteral("Pulsiero"));
    // Stacking: outlines above the indicator, above the label, above the keys, above the picture.
    const auto figli = area()->children();
    QVERIFY(figli.indexOf(figlio("Img_Sfondo")) < figli.indexOf(figlio("Img_Pulsante_0")));
    QVERIFY(figli.indexOf(figlio("Img_Pulsante_3")) < figli.indexOf(figlio("Lab_Pulsiero")));
    QVERIFY(figli.indexOf(figlio("Lab_Pulsiero")) < figli.indexOf(figlio("Img_Invio")));
    QVERIFY(figli.indexOf(figlio("Img_Invio")) < figli.indexOf(figlio("Shp_Bianco_0")));
}

void TestFrmPulsiero::statoDopoLAvvio() {
    avvia("[Pulsiero]\nnome= Cancello \nt2=Apri garage\n");
    QVERIFY(finestra_->isVisible());
    QVERIFY(!finestra_->isMinimized());
    QVERIFY(!finestra_->Caricamento());
    QVERIFY(!finestra_->menu().MenuAvvioAuto->isChecked());
    QVERIFY(!figlio("Img_Invio")->isVisible());
    for (int i = 0; i < 4; ++i)
        QVERIFY(!contorno(i)->isVisible());
    QCOMPARE(qobject_cast<QLabel*>(figlio("Lab_Pulsiero"))->text(), QStringLiteral("Cancello"));
    QCOMPARE(figlio("Img_Pulsante_0")->toolTip(), QStringLiteral("Tasto 1"));
    QCOMPARE(figlio("Img_Pulsante_1")->toolTip(), QStringLiteral("Apri garage"));
    QCOMPARE(figlio("Img_Pulsante_1")->accessibleName(), QStringLiteral("Apri garage"));
    QVERIFY(finestra_->tray().icona().isVisible());
    QVERIFY(!QFile::exists(amb_->ambiente.cartellaAutostart));
}

void TestFrmPulsiero::contornoSegueIlPuntatore() {
    avvia();
    muovi(centroTasto(0));
    QTRY_VERIFY(contorno(0)->isVisible());
    QVERIFY(!contorno(1)->isVisible());
    muovi(QPoint(100, 200)); // the picture between keys and label
    QTRY_VERIFY(!contorno(0)->isVisible());
    muovi(centroTasto(1));
    QTRY_VERIFY(contorno(1)->isVisible());
    QVERIFY(!contorno(0)->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kTeal);
}

void TestFrmPulsiero::clicSinistroInviaIlTasto_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QByteArray>("trama");
    // Receiver 1, transmitter 1, 10:30, random 5, step 1.
    QTest::newRow("tasto 1") << 0 << QByteArray("FFFFE7E1F589AFFFFE8");
    QTest::newRow("tasto 2") << 1 << QByteArray("FFFFE7E1E589AFFFFE9");
    QTest::newRow("tasto 3") << 2 << QByteArray("FFFFE7E1D589AFFFFEA");
    QTest::newRow("tasto 4") << 3 << QByteArray("FFFFE7E1C589AFFFFEB");
}

void TestFrmPulsiero::clicSinistroInviaIlTasto() {
    QFETCH(int, tasto);
    QFETCH(QByteArray, trama);
    avvia();
    muovi(centroTasto(tasto));
    premi(Qt::LeftButton, centroTasto(tasto));
    QVERIFY(figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(tasto)->colore(), Frm_Pulsiero::kAcquaChiaro);
    rilascia(Qt::LeftButton, centroTasto(tasto));
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(tasto)->colore(), Frm_Pulsiero::kTeal);
    QCOMPARE(riceviTrama(), trama);
    QTRY_COMPARE(passo(), QStringLiteral("1"));
}

void TestFrmPulsiero::tastoDestroSoloRiscontro() {
    avvia();
    premi(Qt::RightButton, centroTasto(1));
    QVERIFY(figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kAcquaChiaro);
    rilascia(Qt::RightButton, centroTasto(1));
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(contorno(1)->colore(), Frm_Pulsiero::kTeal);
    QTest::qWait(200);
    QVERIFY(!server_->hasPendingConnections());
    QCOMPARE(passo(), QStringLiteral("<none>"));
}

void TestFrmPulsiero::rilascioFuoriDalTasto() {
    avvia();
    muovi(centroTasto(0));
    premi(Qt::LeftButton, centroTasto(0));
    // The key keeps the mouse while the button is held: its outline stays.
    muovi(QPoint(150, 290));
    QVERIFY(contorno(0)->isVisible());
    rilascia(Qt::LeftButton, QPoint(150, 290));
    QCOMPARE(contorno(0)->colore(), Frm_Pulsiero::kTeal);
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QTest::qWait(200);
    QVERIFY(!server_->hasPendingConnections());
    QCOMPARE(passo(), QStringLiteral("<none>"));
}

void TestFrmPulsiero::tastieraDa1a4() {
    avvia();
    QTest::keyPress(finestra_.get(), Qt::Key_3);
    QVERIFY(figlio("Img_Invio")->isVisible());
    QVERIFY(contorno(2)->isVisible());
    QCOMPARE(contorno(2)->colore(), Frm_Pulsiero::kAcquaChiaro);
    QTest::keyRelease(finestra_.get(), Qt::Key_3);
    QVERIFY(!figlio("Img_Invio")->isVisible());
    QCOMPARE(riceviTrama(), QByteArray("FFFFE7E1D589AFFFFEA"));
}

void TestFrmPulsiero::menu_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("voci"); // objectName|text|shortcut, "-" for separators
    QTest::newRow("File") << "&File" << QStringList{"MenuFine|Fine programma|Ctrl+X"};
    QTest::newRow("Opzioni") << "&Opzioni"
                             << QStringList{"MenuAvvioAuto|Avvio Automatico|",
                                            "MenuNull0|-|",
                                            "MenuCreaCollegamento|Crea collegamento sul desktop|",
                                            "MenuEliminaCollegamento|Elimina collegamento dal "
                                            "desktop|",
                                            "MenuNull1|-|",
                                            "MenuInitCom|Inizializza comunicazione|",
                                            "MenuConfigura|Configura il pulsiero|"};
    QTest::newRow("?") << "&?" << QStringList{"MenuInformazioni|Informazioni su...|F1"};
}

void TestFrmPulsiero::menu() {
    QFETCH(QString, menu);
    QFETCH(QStringList, voci);
    avvia();
    QMenu* trovato = nullptr;
    for (QAction* a : finestra_->menuBar()->actions())
        if (a->text() == menu)
            trovato = a->menu();
    QVERIFY(trovato);
    QStringList effettive;
    for (QAction* a : trovato->actions())
        effettive << a->objectName() + "|" + (a->isSeparator() ? "-" : a->text()) + "|" +
                         a->shortcut().toString();
    QCOMPARE(effettive, voci);
    for (QAction* a : trovato->actions())
        QVERIFY(a->isEnabled() && a->isVisible());
}

void TestFrmPulsiero::chiusuraTerminaIlProgramma() {
    avvia();
    finestra_->close();
    QCOMPARE(uscite_, QList<int>{0});
    QVERIFY(!finestra_->tray().icona().isVisible());
}

void TestFrmPulsiero::ctrlXTermina() {
    avvia();
    QApplication::setActiveWindow(finestra_.get());
    QVERIFY(QTest::qWaitForWindowActive(finestra_.get()));
    QTest::keyClick(finestra_.get(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(uscite_, QList<int>{0});
}

void TestFrmPulsiero::avvioAutomaticoConTray() {
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(amb_->ambiente.cartellaAutostart + "/pulsiero.desktop",
                      "[Desktop Entry]\nType=Application\nExec=/usr/bin/pulsiero\n");
    avvia();
    QVERIFY(!finestra_->isVisible());
    QVERIFY(finestra_->menu().MenuAvvioAuto->isChecked());
    QVERIFY(finestra_->tray().icona().isVisible());
}

void TestFrmPulsiero::avvioAutomaticoSenzaTray() {
    QDir().mkpath(amb_->ambiente.cartellaAutostart);
    aiuti::scriviFile(amb_->ambiente.cartellaAutostart + "/pulsiero.desktop",
                      "[Desktop Entry]\nType=Application\nExec=/usr/bin/pulsiero\n");
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "");
    finestra_ = std::make_unique<Frm_Pulsiero>(amb_->ambiente);
    finestra_->impostaTrayDisponibile([] { return false; });
    finestra_->Form_Load();
    // With no notification area a hidden window could never come back: it starts minimised.
    QVERIFY(finestra_->isVisible());
    QVERIFY(finestra_->isMinimized());
}

void TestFrmPulsiero::trayMostraLaFinestraETermina() {
    avvia();
    finestra_->NascondiFinestra(true);
    QVERIFY(!finestra_->isVisible());
    emit finestra_->tray().icona().activated(QSystemTrayIcon::Context);
    QVERIFY(!finestra_->isVisible());
    emit finestra_->tray().icona().activated(QSystemTrayIcon::Trigger);
    QVERIFY(finestra_->isVisible());
    QVERIFY(!finestra_->isMinimized());

    finestra_->NascondiFinestra(true);
    QMenu& menuTray = finestra_->tray().MenuTray();
    QCOMPARE(menuTray.actions().size(), 3);
    QVERIFY(menuTray.actions().at(1)->isSeparator());
    menuTray.actions().at(0)->trigger(); // "Apri il pulsiero"
    QVERIFY(finestra_->isVisible());
    QCOMPARE(menuTray.actions().at(2)->text(), QStringLiteral("Fine programma"));
    menuTray.actions().at(2)->trigger();
    QCOMPARE(uscite_, QList<int>{0});
}

void TestFrmPulsiero::inizializzaComunicazione() {
    avvia();
    aiuti::scriviFile(amb_->ambiente.percorsoIni, "[Server]\nPorta=4321\n[Pulsiero]\nnome=Nuovo\n");
    finestra_->menu().MenuInitCom->trigger();
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Comunicazione TCI/IP"),
                                   QStringLiteral("La comunicazione TCP/IP è stata inizializzata."),
                                   QMessageBox::Information));
    QCOMPARE(finestra_->configurazione().impostazioni().PortaIP, std::string("4321"));
    QCOMPARE(qobject_cast<QLabel*>(figlio("Lab_Pulsiero"))->text(), QStringLiteral("Nuovo"));
}

void TestFrmPulsiero::tooltipDellIcona() {
    QCOMPARE(IconaTray::tooltip(),
             QStringLiteral("Pulsiero Rolling Code 1.00 - © 2026 Pulsiero Rolling Code"));
    QVERIFY(IconaTray::tooltip().size() <= 64);
    QCOMPARE(testoVersione(2, 3, 10), QStringLiteral("2.310"));
}

QTEST_MAIN(TestFrmPulsiero)
#include "tst_frm_pulsiero.moc"
