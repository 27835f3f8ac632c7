// The real program in a real X session: started as a user would start it, driven with X pointer
// and keyboard events through xdotool, talking to a receiver on 127.0.0.1.
#include "Ricezione.h"
#include "UtenteComune.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

namespace {

QString esegui(const QString& programma, const QStringList& argomenti, int attesaMs = 10000) {
    QProcess p;
    p.start(programma, argomenti);
    if (!p.waitForFinished(attesaMs))
        p.kill();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString xdo(const QStringList& argomenti) {
    return esegui(QStringLiteral("xdotool"), argomenti);
}

// A key's value in a settings file, as the program wrote it.
QString valoreIn(const QString& file, const QByteArray& chiave) {
    QFile ini(file);
    if (!ini.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& riga : ini.readAll().split('\n'))
        if (riga.startsWith(chiave + "="))
            return QString::fromLatin1(riga.mid(chiave.size() + 1));
    return {};
}

QByteArray trama(QTcpServer& server) {
    return aiuti::tramaRicevuta(server, 5000);
}

QByteArray leggi(const QString& percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The command of a desktop entry's Exec value, as a desktop's launcher reads it: the string
// value's escapes first, then the quoting rules of the arguments, then "%%".
QStringList comandoDi(const QByteArray& voce, const QByteArray& gruppo) {
    const QByteArray dopo = voce.mid(voce.indexOf("[" + gruppo + "]\n"));
    QString valore = QString::fromUtf8(dopo.mid(dopo.indexOf("\nExec=") + 6).split('\n').first());
    valore.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    QStringList parti;
    QString parte;
    bool tra = false, inParte = false;
    for (int i = 0; i < valore.size(); ++i) {
        const QChar c = valore[i];
        if (tra && c == QLatin1Char('\\') && i + 1 < valore.size()) {
            parte += valore[++i];
        } else if (c == QLatin1Char('"')) {
            tra = !tra;
            inParte = true;
        } else if (c == QLatin1Char(' ') && !tra) {
            if (inParte)
                parti << parte;
            parte.clear();
            inParte = false;
        } else {
            parte += c;
            inParte = true;
        }
    }
    if (inParte)
        parti << parte;
    for (QString& p : parti)
        p.replace(QLatin1String("%%"), QLatin1String("%"));
    return parti;
}

} // namespace

class TestE2E : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tastiInviatiECtrlXTermina();
    void configurazioneCambiaLaPorta();
    void iconaNellAreaDiNotifica();
    void uccisoMentrePremeTasti();
    void caselleNumericheTastiSenzaCarattere_data();
    void caselleNumericheTastiSenzaCarattere();
    void secondarieSopraLaFinestra_data();
    void secondarieSopraLaFinestra();
    void soloCifreNudeInviano_data();
    void soloCifreNudeInviano();
    void avvioMinimizzatoSenzaAreaDiNotifica();
    void collegamentoEMailSoloClicSinistro_data();
    void collegamentoEMailSoloClicSinistro();
    void finestraSulFileDato();
    void escChiudeIlDialogo();
    void fileDiSolaLettura();
    void lanciatoreAzioniEAvvioAutomatico();

private:
    void scriviIni(const QByteArray& pulsiero);
    void avvia(const QStringList& argomenti = {}, bool comeUtente = false);
    void premi(const QStringList& passi);
    bool attiva(const QString& finestra);
    bool haIlFuoco(const QString& finestra);
    QStringList finestreVisibili();
    bool menuAperto(const QStringList& prima);
    QString apriDialogo(bool tabBar = true);
    QString valore(const QByteArray& chiave) const;
    QString passo() const;
    void clicTasto(int indice);
    int terminato();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QTcpServer> server_;
    std::unique_ptr<QProcess> programma_;
    QString finestra_;
    int barraMenu_ = 0;
};

void TestE2E::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (scripts/test.sh starts Xvfb)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool");
}

void TestE2E::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<QTcpServer>();
    QVERIFY(server_->listen(QHostAddress::LocalHost));
    QDir().mkpath(dir_->filePath("bin"));
    QVERIFY(QFile::copy(QStringLiteral(PULSIERO_EXE), dir_->filePath("bin/pulsiero")));
    // The window is a module the program finds beside itself.
    QVERIFY(QFile::copy(QStringLiteral(PULSIERO_FINESTRA), dir_->filePath("bin/pulsiero-finestra.so")));
    QFile ini(dir_->filePath("bin/pulsiero.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Server]\nIndirizzo=127.0.0.1\nPorta=" + QByteArray::number(server_->serverPort()) +
              "\n[Pulsiero]\nnome=Cancello\n");
}

void TestE2E::scriviIni(const QByteArray& pulsiero) {
    QFile ini(dir_->filePath("bin/pulsiero.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Server]\nIndirizzo=127.0.0.1\nPorta=" + QByteArray::number(server_->serverPort()) +
              "\n[Pulsiero]\n" + pulsiero);
}

void TestE2E::cleanup() {
    if (programma_ && programma_->state() != QProcess::NotRunning) {
        programma_->kill();
        programma_->waitForFinished(3000);
    }
    programma_.reset();
    server_.reset();
    dir_.reset();
}

// comeUtente: as an ordinary user (nobody when the test runs as root), for permission faults.
void TestE2E::avvia(const QStringList& argomenti, bool comeUtente) {
    programma_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("HOME"), dir_->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath("config"));
    if (comeUtente && utente::daRoot()) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_->filePath("runtime"));
        QDir().mkpath(dir_->filePath("runtime"));
        ::chmod(QFile::encodeName(dir_->filePath("runtime")).constData(), 0700);
        utente::cediAllUtente(dir_->filePath("runtime"));
        utente::apriATutti(dir_->path());
    }
    programma_->setProcessEnvironment(env);
    programma_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (comeUtente)
        utente::avvia(*programma_, dir_->filePath("bin/pulsiero"), argomenti, dir_->path());
    else
        programma_->start(dir_->filePath("bin/pulsiero"), argomenti);
    QVERIFY(programma_->waitForStarted());
    // The title is the transmitter's name, " - " and "Pulsiero". xdotool matches names
    // regardless of case, and the tray icon's window is "pulsiero".
    const QString pid = QString::number(programma_->processId());
    const auto principale = [&] {
        for (const QString& w :
             xdo({"search", "--onlyvisible", "--pid", pid, "--name", "Pulsiero$"})
                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (xdo({"getwindowname", w}).endsWith(QStringLiteral("Pulsiero")) &&
                !xdo({"getwindowname", w}).startsWith(QStringLiteral("Configurazione")))
                return w;
        return QString();
    };
    (void)QTest::qWaitFor([&] { return !(finestra_ = principale()).isEmpty(); }, 20000);
    QVERIFY2(!finestra_.isEmpty(), "the window did not appear");
    // The client area below the menu bar is 304 pixels high. The window may first map at another
    // size: its final one is the fixed size of its hints (minimum = maximum), once it has it.
    const auto barra = [this] {
        const QString suggerimenti =
            esegui(QStringLiteral("xprop"), {"-id", finestra_, "WM_NORMAL_HINTS"});
        const QString minima = suggerimenti.section("minimum size: ", 1).section('\n', 0, 0);
        const QString massima = suggerimenti.section("maximum size: ", 1).section('\n', 0, 0);
        const QString geometria = xdo({"getwindowgeometry", "--shell", finestra_});
        const int altezza = geometria.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
        const bool fissata =
            !minima.isEmpty() && minima == massima && minima.section(" by ", 1).toInt() == altezza;
        return fissata ? altezza - 304 : 0;
    };
    QVERIFY(QTest::qWaitFor([&] { return (barraMenu_ = barra()) > 0; }, 20000));
    QVERIFY(attiva(finestra_));
}

// Activates a window and waits until the X keyboard focus is really on it: the window manager
// marks it active before the program has taken the focus, and keys sent meanwhile are lost.
bool TestE2E::attiva(const QString& finestra) {
    xdo({"windowactivate", "--sync", finestra});
    return haIlFuoco(finestra);
}

bool TestE2E::haIlFuoco(const QString& finestra) {
    return QTest::qWaitFor([&] { return xdo({"getwindowfocus", "-f"}) == finestra; }, 20000);
}

namespace {

bool menu(const QString& finestra) {
    return esegui(QStringLiteral("xwininfo"), {"-id", finestra})
               .contains("Override Redirect State: yes") &&
           esegui(QStringLiteral("xwininfo"), {"-children", "-id", finestra})
               .contains("(the root window)");
}

} // namespace

QStringList TestE2E::finestreVisibili() {
    return xdo({"search", "--onlyvisible", "--pid", QString::number(programma_->processId())})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Waits until a pop-up menu is on screen, so that keys then reach it: a window of the program
// that was not visible before the key or click that opens it, a child of the root window that
// the window manager leaves alone. (The tray icon, also left alone, docks late into the tray
// host, whose child it then is.)
bool TestE2E::menuAperto(const QStringList& prima) {
    return QTest::qWaitFor(
        [&] {
            const QStringList ora = finestreVisibili();
            return std::any_of(ora.begin(), ora.end(),
                               [&](const QString& w) { return !prima.contains(w) && menu(w); });
        },
        20000);
}

QString TestE2E::valore(const QByteArray& chiave) const {
    return valoreIn(dir_->filePath("bin/pulsiero.ini"), chiave);
}

QString TestE2E::passo() const {
    return valore("Passo");
}

// Each step is one xdotool command ("key ctrl+a", "type 10100", "keydown 2"...), given time to
// be handled before the next.
// "fuoco principale" or "fuoco <title>" waits until that window holds the keyboard.
void TestE2E::premi(const QStringList& passi) {
    for (const QString& passo : passi) {
        if (passo.startsWith(QLatin1String("fuoco "))) {
            const QString nome = passo.mid(6);
            const QString w = nome == QLatin1String("principale")
                                  ? finestra_
                                  : xdo({"search", "--sync", "--onlyvisible", "--name", nome})
                                        .section('\n', 0, 0);
            QVERIFY2(!w.isEmpty() && haIlFuoco(w), qPrintable(passo));
            continue;
        }
        xdo(passo.split(QLatin1Char(' ')));
        QTest::qWait(150);
    }
}

// Opens "Configura il pulsiero" from the menu and gives the dialog the keyboard, which it puts in
// the first box of its page; with tabBar, Shift+Tab then takes it to the tab bar.
QString TestE2E::apriDialogo(bool tabBar) {
    const QStringList prima = finestreVisibili();
    xdo({"key", "alt+o"});
    if (!menuAperto(prima))
        return {};
    xdo({"key", "Up", "Return"}); // the last entry: "Configura il pulsiero"
    const QString dialogo =
        xdo({"search", "--sync", "--onlyvisible", "--name", "^Configurazione Pulsiero$"});
    if (dialogo.isEmpty() || !attiva(dialogo))
        return {};
    if (tabBar)
        xdo({"key", "shift+Tab"});
    return dialogo;
}

void TestE2E::clicTasto(int indice) {
    static const QPoint kCentri[4] = {{68, 91}, {130, 91}, {68, 154}, {130, 154}};
    const QPoint p = kCentri[indice] + QPoint(0, barraMenu_);
    xdo({"mousemove", "--window", finestra_, QString::number(p.x()), QString::number(p.y())});
    xdo({"click", "1"});
}

int TestE2E::terminato() {
    if (!programma_->waitForFinished(5000))
        return -1;
    return programma_->exitStatus() == QProcess::NormalExit ? programma_->exitCode() : -2;
}

void TestE2E::tastiInviatiECtrlXTermina() {
    avvia();
    const QStringList campiTasto{"1F", "1E", "1D", "1C"};
    for (int i = 0; i < 4; ++i) {
        clicTasto(i);
        const QByteArray ricevuta = trama(*server_);
        QCOMPARE(ricevuta.size(), 19);
        QCOMPARE(ricevuta.left(7), QByteArray("FFFFE7E"));
        QCOMPARE(QString::fromLatin1(ricevuta.mid(7, 2)), campiTasto[i]);
        QCOMPARE(ricevuta.mid(13, 5).toInt(nullptr, 16) ^ 0xFFFFF, i + 1);
        QTRY_COMPARE(passo(), QString::number(i + 1));
    }
    QVERIFY(attiva(finestra_));
    xdo({"key", "--clearmodifiers", "ctrl+x"});
    QCOMPARE(terminato(), 0);
}

void TestE2E::configurazioneCambiaLaPorta() {
    QTcpServer nuovo;
    QVERIFY(nuovo.listen(QHostAddress::LocalHost));
    avvia();
    QVERIFY(!apriDialogo().isEmpty());
    // From the tab bar: the "Ricevitore" page, then the address and the port boxes.
    xdo({"key", "Right", "Tab", "Tab"});
    xdo({"type", QString::number(nuovo.serverPort())});
    esegui(QStringLiteral("wmctrl"), {"-c", "Configurazione Pulsiero"});
    QTRY_VERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());

    QVERIFY(attiva(finestra_));
    clicTasto(0);
    QCOMPARE(trama(nuovo).left(9), QByteArray("FFFFE7E1F"));
    QVERIFY(!server_->hasPendingConnections());
}

void TestE2E::iconaNellAreaDiNotifica() {
    if (xdo({"search", "--class", "^trayer$"}).isEmpty()) // on this display, not the machine
        QSKIP("no tray host (trayer) on this display");
    avvia();
    // The icon is a small window of the program docked in the tray host.
    QString icona;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const auto finestre = xdo({"search", "--pid", QString::number(programma_->processId()),
                                       "--onlyvisible", "--class", "pulsiero"})
                                      .split('\n', Qt::SkipEmptyParts);
            for (const QString& w : finestre)
                if (w != finestra_ && !xdo({"getwindowname", w}).endsWith("Pulsiero"))
                    icona = w;
            return !icona.isEmpty();
        }(),
        5000);
    xdo({"mousemove", "--window", icona, "5", "5"});
    const QStringList prima = finestreVisibili();
    xdo({"click", "3"});
    QVERIFY(menuAperto(prima));
    xdo({"key", "Up", "Return"}); // the last entry of the pop-up menu: "Fine programma"
    QCOMPARE(terminato(), 0);
}

// SIGKILL at random moments while keys are pressed in a loop: the settings file is always whole
// and the stored counter never goes backwards.
void TestE2E::uccisoMentrePremeTasti() {
    int precedente = 0;
    for (int round = 0; round < 6; ++round) {
        avvia();
        const QPoint p = QPoint(68, 91 + barraMenu_);
        xdo({"mousemove", "--window", finestra_, QString::number(p.x()), QString::number(p.y())});
        QProcess clic;
        clic.start(QStringLiteral("xdotool"), {"click", "--repeat", "400", "--delay", "3", "1"});
        QTest::qWait(150 + QRandomGenerator::global()->bounded(400));
        ::kill(static_cast<pid_t>(programma_->processId()), SIGKILL);
        programma_->waitForFinished(3000);
        clic.kill();
        clic.waitForFinished(3000);
        while (server_->hasPendingConnections())
            delete server_->nextPendingConnection();

        QFile ini(dir_->filePath("bin/pulsiero.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray contenuto = ini.readAll();
        QVERIFY2(contenuto.startsWith("[Server]\nIndirizzo=127.0.0.1\nPorta="),
                 contenuto.constData());
        QVERIFY(contenuto.contains("\n[Pulsiero]\nnome=Cancello\n"));
        const int passoOra = passo().toInt();
        QVERIFY2(passoOra >= precedente,
                 qPrintable(QStringLiteral("%1 < %2").arg(passoOra).arg(precedente)));
        precedente = passoOra;
    }
    QVERIFY(precedente > 0);
}

// Keys that type no character (Tab, Delete, Ctrl+A, Ctrl+Z, Ctrl+Tab) work in the number boxes
// as in any other; what the dialog saves shows it.
void TestE2E::caselleNumericheTastiSenzaCarattere_data() {
    QTest::addColumn<QStringList>("passi"); // from the dialog's tab bar, first page shown
    QTest::addColumn<QByteArray>("chiave");
    QTest::addColumn<QString>("scritto");
    const QStringList porta{"key Right", "key Tab", "key Tab"}; // "Ricevitore", address, port
    const QStringList ricevitore{"key Right", "key Right", "key Tab"}; // "Codifica", receiver
    QTest::newRow("Ctrl+A then digits")
        << porta + QStringList{"key End", "key ctrl+a", "type 10100"} << QByteArray("Porta")
        << "10100";
    QTest::newRow("Delete") << ricevitore + QStringList{"key Home", "key Delete", "key Delete"}
                            << QByteArray("ID_Dis") << "21";
    QTest::newRow("Ctrl+Z") << ricevitore + QStringList{"type 9", "key ctrl+z"}
                            << QByteArray("ID_Dis") << "4321";
    QTest::newRow("Tab to the transmitter")
        << ricevitore + QStringList{"key Tab", "type 77"} << QByteArray("ID_Pul") << "77";
    QTest::newRow("Ctrl+Tab to the next page")
        << porta + QStringList{"key ctrl+Tab", "key ctrl+a", "type 88"} << QByteArray("ID_Dis")
        << "88";
}

void TestE2E::caselleNumericheTastiSenzaCarattere() {
    QFETCH(QStringList, passi);
    QFETCH(QByteArray, chiave);
    QFETCH(QString, scritto);
    scriviIni("nome=Cancello\nID_Dis=4321\nID_Pul=56\n");
    avvia();
    QVERIFY(!apriDialogo().isEmpty());
    premi(passi);
    esegui(QStringLiteral("wmctrl"), {"-c", "Configurazione Pulsiero"});
    QTRY_VERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());
    QCOMPARE(valore(chiave), scritto);
}

// The dialog and the About window stay above the main window when its title bar is clicked,
// keep the keyboard, and a close request on the main window meanwhile does nothing.
void TestE2E::secondarieSopraLaFinestra_data() {
    QTest::addColumn<bool>("dialogo"); // the configuration dialog, else the About window
    QTest::addColumn<QString>("titolo");
    QTest::addColumn<QStringList>("passi"); // typed after the click on the main window
    QTest::addColumn<QByteArray>("chiave");
    QTest::addColumn<QString>("scritto");
    QTest::newRow("configuration") << true << "^Configurazione Pulsiero$"
                                   << QStringList{"key Right", "key Right", "key Tab", "type 4321"}
                                   << QByteArray("ID_Dis") << "4321";
    // Esc closes the About window; the main window then takes key 2 again.
    QTest::newRow("about") << false << "^Informazioni su...$"
                           << QStringList{"key Escape", "fuoco principale", "key 2"}
                           << QByteArray("Passo") << "1";
}

void TestE2E::secondarieSopraLaFinestra() {
    QFETCH(bool, dialogo);
    QFETCH(QString, titolo);
    QFETCH(QStringList, passi);
    QFETCH(QByteArray, chiave);
    QFETCH(QString, scritto);
    avvia();
    if (!dialogo)
        xdo({"key", "F1"});
    const QString secondaria =
        dialogo ? apriDialogo() : xdo({"search", "--sync", "--onlyvisible", "--name", titolo});
    QVERIFY(!secondaria.isEmpty());
    QVERIFY(attiva(secondaria));

    // Apart, so that the click lands on the main window's title bar, a few pixels above its
    // client area.
    xdo({"windowmove", "--sync", finestra_, "100", "100"});
    xdo({"windowmove", "--sync", secondaria, "500", "300"});
    const QString geometria = xdo({"getwindowgeometry", "--shell", finestra_});
    const int x = geometria.section("X=", 1).section('\n', 0, 0).toInt();
    const int y = geometria.section("Y=", 1).section('\n', 0, 0).toInt();
    xdo({"mousemove", QString::number(x + 60), QString::number(y - 8)});
    xdo({"click", "1"});
    QTest::qWait(300);
    const QStringList pila = esegui(QStringLiteral("xprop"), {"-root", "_NET_CLIENT_LIST_STACKING"})
                                 .section(QLatin1Char('#'), 1)
                                 .split(QLatin1Char(','), Qt::SkipEmptyParts);
    const auto posizione = [&](const QString& decimale) {
        const QString esadecimale = QStringLiteral("0x") + QString::number(decimale.toULong(), 16);
        for (int i = 0; i < pila.size(); ++i)
            if (pila[i].trimmed() == esadecimale)
                return i;
        return -1;
    };
    QVERIFY2(posizione(secondaria) > posizione(finestra_), qPrintable(pila.join(' ')));

    esegui(QStringLiteral("wmctrl"),
           {"-i", "-c", QStringLiteral("0x") + QString::number(finestra_.toULong(), 16)});
    QVERIFY(!programma_->waitForFinished(500));
    QVERIFY(!xdo({"search", "--onlyvisible", "--name", titolo}).isEmpty());

    QVERIFY(haIlFuoco(secondaria)); // the click gave it the keyboard
    premi(passi);
    if (!xdo({"search", "--onlyvisible", "--name", titolo}).isEmpty())
        esegui(QStringLiteral("wmctrl"),
               {"-i", "-c", QStringLiteral("0x") + QString::number(secondaria.toULong(), 16)});
    QTRY_COMPARE(valore(chiave), scritto);
}

// Only a bare digit 1-4 sends; a digit held while the window loses the keyboard is let go.
void TestE2E::soloCifreNudeInviano_data() {
    QTest::addColumn<QStringList>("passi");
    QTest::addColumn<QByteArray>("campoTasto"); // of the first frame received
    QTest::newRow("bare 3") << QStringList{"key 3"} << QByteArray("1D");
    QTest::newRow("Ctrl+3") << QStringList{"key ctrl+3", "key 1"} << QByteArray("1F");
    QTest::newRow("Alt+3") << QStringList{"key alt+3", "key 1"} << QByteArray("1F");
    QTest::newRow("Super+3") << QStringList{"key super+3", "key 1"} << QByteArray("1F");
    QTest::newRow("2 held while the About window opens")
        << QStringList{"keydown 2", "key F1",     "fuoco ^Informazioni su...$",
                       "keyup 2",   "key Escape", "fuoco principale",
                       "key 1"}
        << QByteArray("1F");
}

void TestE2E::soloCifreNudeInviano() {
    QFETCH(QStringList, passi);
    QFETCH(QByteArray, campoTasto);
    avvia();
    premi(passi);
    QCOMPARE(trama(*server_).mid(7, 2), campoTasto);
    QTest::qWait(200);
    QVERIFY(!server_->hasPendingConnections());
}

// With auto-start on and no notification area, the window starts minimised (iconic), under a
// window manager on a display of this test's own, with no tray host.
void TestE2E::avvioMinimizzatoSenzaAreaDiNotifica() {
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        QSKIP("needs openbox and xprop");
    QString display;
    for (int n = 141; n < 190 && display.isEmpty(); ++n)
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            display = QStringLiteral(":%1").arg(n);
    QVERIFY(!display.isEmpty());
    QProcess xvfb, wm;
    xvfb.start(QStringLiteral("Xvfb"),
               {display, "-noreset", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    QVERIFY(xvfb.waitForStarted());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    const auto pronto = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdpyinfo"), {});
        return p.waitForFinished(2000) && p.exitCode() == 0;
    };
    QVERIFY(QTest::qWaitFor(pronto, 5000));
    wm.setProcessEnvironment(env);
    wm.start(QStringLiteral("openbox"), {});
    QVERIFY(wm.waitForStarted());
    // The window manager is there once it has marked the root window as managed.
    const auto gestito = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
        return p.waitForFinished(2000) && p.readAllStandardOutput().contains("window id #");
    };
    QVERIFY(QTest::qWaitFor(gestito, 20000));

    QDir().mkpath(dir_->filePath("config/autostart"));
    QFile voce(dir_->filePath("config/autostart/pulsiero.desktop"));
    QVERIFY(voce.open(QIODevice::WriteOnly));
    voce.write("[Desktop Entry]\nType=Application\nExec=/usr/bin/pulsiero\n");
    voce.close();
    programma_ = std::make_unique<QProcess>();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("HOME"), dir_->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath("config"));
    programma_->setProcessEnvironment(env);
    programma_->start(dir_->filePath("bin/pulsiero"), {"--avvio-automatico"}); // as the entry
    QVERIFY(programma_->waitForStarted());

    const auto stato = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"),
                {"search", "--pid", QString::number(programma_->processId())});
        p.waitForFinished(3000);
        // Of the program's windows only the main one is managed by the window manager.
        const QString finestre = QString::fromUtf8(p.readAllStandardOutput());
        for (const QString& w : finestre.split('\n', Qt::SkipEmptyParts)) {
            p.start(QStringLiteral("xprop"), {"-id", w, "WM_STATE"});
            p.waitForFinished(3000);
            const QString stato = QString::fromUtf8(p.readAllStandardOutput());
            if (stato.contains("window state: "))
                return stato.section("window state: ", 1).section('\n', 0, 0);
        }
        return QString();
    };
    QString visto;
    (void)QTest::qWaitFor(
        [&] {
            visto = stato();
            return visto == "Iconic";
        },
        5000);
    programma_->kill();
    programma_->waitForFinished(3000);
    wm.kill();
    wm.waitForFinished(3000);
    xvfb.kill();
    xvfb.waitForFinished(3000);
    QCOMPARE(visto, QStringLiteral("Iconic"));
}

// The contact link hands its address to the mail program on a left click only.
void TestE2E::collegamentoEMailSoloClicSinistro_data() {
    QTest::addColumn<QStringList>("passi"); // the pointer starts on the link
    QTest::addColumn<bool>("aperto");
    QTest::newRow("left click") << QStringList{"click 1"} << true;
    QTest::newRow("right click") << QStringList{"click 3"} << false;
    QTest::newRow("middle click") << QStringList{"click 2"} << false;
    QTest::newRow("press, leave, release")
        << QStringList{"mousedown 1", "mousemove_relative 150 -60", "mouseup 1"} << false;
}

void TestE2E::collegamentoEMailSoloClicSinistro() {
    QFETCH(QStringList, passi);
    QFETCH(bool, aperto);
    // A stand-in for the desktop's opener, first in PATH, records what it was asked to open.
    const QString cartella = dir_->filePath("apri");
    QDir().mkpath(cartella);
    for (const char* nome : {"xdg-open", "xdg-email"}) {
        QFile script(cartella + "/" + nome);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/aperti\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }
    qputenv("PATH", cartella.toUtf8() + ":" + qgetenv("PATH"));
    avvia();
    qputenv("PATH", qgetenv("PATH").mid(cartella.toUtf8().size() + 1));
    xdo({"key", "F1"});
    const QString about =
        xdo({"search", "--sync", "--onlyvisible", "--name", "^Informazioni su...$"});
    QVERIFY(!about.isEmpty());
    QVERIFY(attiva(about));
    // On the address, at 8, 200 in the window.
    xdo({"mousemove", "--window", about, "20", "206"});
    premi(passi);
    const QString file = cartella + "/aperti";
    if (aperto)
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 5000);
    else
        QTest::qWait(700);
    QFile aperti(file);
    const QByteArray registrato =
        aperti.open(QIODevice::ReadOnly) ? aperti.readAll() : QByteArray();
    QCOMPARE(registrato, aperto ? QByteArray("mailto:" PULSIERO_EMAIL "\n") : QByteArray());
}

// A window on a file given with --impostazioni uses that file alone: the usual one is neither
// made nor seeded, nor is its folder.
void TestE2E::finestraSulFileDato() {
    QVERIFY(QFile::rename(dir_->filePath("bin/pulsiero.ini"), dir_->filePath("garage.ini")));
    avvia({"--impostazioni", dir_->filePath("garage.ini")});
    clicTasto(1);
    QCOMPARE(trama(*server_).mid(7, 2), QByteArray("1E"));
    QTRY_COMPARE(valoreIn(dir_->filePath("garage.ini"), "Passo"), QStringLiteral("1"));
    QVERIFY(!QFileInfo::exists(dir_->filePath("config/pulsiero")));
    QVERIFY(!QFileInfo::exists(dir_->filePath("bin/pulsiero.ini")));
}

// Esc closes the dialog, as its close button does, saving the edits; Alt with a label's letter
// reaches that label's box.
void TestE2E::escChiudeIlDialogo() {
    avvia();
    QVERIFY(!apriDialogo(false).isEmpty());
    premi({"type Garage", "key alt+s", "type bip.wav", "key Escape"});
    QTRY_VERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());
    QTRY_COMPARE(valore("nome"), QStringLiteral("Garage"));
    QCOMPARE(valore("Suono"), QStringLiteral("bip.wav"));
    QTRY_COMPARE(xdo({"getwindowname", finestra_}), QStringLiteral("Garage - Pulsiero"));
}

// A settings file the user may not write: the dialog opens read-only and closes (Esc) without a
// warning; the file is untouched and the main window takes the keyboard again.
void TestE2E::fileDiSolaLettura() {
    const QString ini = dir_->filePath("garage.ini");
    QVERIFY(QFile::rename(dir_->filePath("bin/pulsiero.ini"), ini));
    QVERIFY(QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ReadOther));
    const QByteArray prima = [&] {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    avvia({"--impostazioni", ini}, true);
    QVERIFY(!apriDialogo(false).isEmpty());
    premi({"type Garage", "key Escape"});
    // Gone, and no warning (titled as the dialog) in its place.
    QTRY_VERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());
    QVERIFY(haIlFuoco(finestra_));
    QTest::qWait(300);
    QVERIFY(xdo({"search", "--onlyvisible", "--name", "^Configurazione Pulsiero$"}).isEmpty());
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), prima);
}

// A window on a file of its own makes its own launcher and auto-start entry from its menu. The
// launcher's key action presses that key on that file; the launcher always shows the window,
// even with auto-start on; only the auto-start entry's command starts it hidden.
void TestE2E::lanciatoreAzioniEAvvioAutomatico() {
    const QString file = dir_->filePath("i miei $telecomandi/box 2.ini");
    QDir().mkpath(QFileInfo(file).path());
    QVERIFY(QFile::rename(dir_->filePath("bin/pulsiero.ini"), file));
    avvia({"--impostazioni", file});
    const auto voceIn = [](const QString& cartella) {
        const QStringList voci = QDir(cartella).entryList({"*box_2-*.desktop"}, QDir::Files);
        return voci.size() == 1 ? cartella + "/" + voci.first() : QString();
    };
    for (const int su : {4, 5}) { // "Crea collegamento sul desktop", then "Avvio Automatico"
        const QStringList prima = finestreVisibili();
        xdo({"key", "alt+o"});
        QVERIFY(menuAperto(prima));
        for (int i = 0; i < su; ++i)
            xdo({"key", "Up"});
        xdo({"key", "Return"});
        QVERIFY(attiva(finestra_));
    }
    QString lanciatore, voce;
    QTRY_VERIFY(!(lanciatore = voceIn(dir_->filePath("Desktop"))).isEmpty());
    QTRY_VERIFY(!(voce = voceIn(dir_->filePath("config/autostart"))).isEmpty());
    programma_->kill();
    programma_->waitForFinished(3000);

    const QStringList tasto3 = comandoDi(leggi(lanciatore), "Desktop Action tasto3");
    QCOMPARE(tasto3.first(), dir_->filePath("bin/pulsiero"));
    QProcess azione;
    azione.start(tasto3.first(), tasto3.mid(1));
    QCOMPARE(trama(*server_).mid(7, 2), QByteArray("1D"));
    QTRY_COMPARE_WITH_TIMEOUT(azione.state(), QProcess::NotRunning, 5000);
    QCOMPARE(azione.exitCode(), 0);
    QCOMPARE(valoreIn(file, "Passo"), QStringLiteral("1"));

    const QStringList principale = comandoDi(leggi(lanciatore), "Desktop Entry");
    QCOMPARE(principale.mid(1), (QStringList{"--impostazioni", file}));
    avvia(principale.mid(1)); // the window shows
    programma_->kill();
    programma_->waitForFinished(3000);

    const QStringList avvio = comandoDi(leggi(voce), "Desktop Entry");
    QCOMPARE(avvio.mid(1), (QStringList{"--impostazioni", file, "--avvio-automatico"}));
    programma_->start(avvio.first(), avvio.mid(1));
    QVERIFY(programma_->waitForStarted());
    const QString pid = QString::number(programma_->processId());
    // Up once it has windows of its own (the tray icon's, the hidden main window's).
    QTRY_VERIFY_WITH_TIMEOUT(!xdo({"search", "--pid", pid, "--class", "pulsiero"}).isEmpty(),
                             20000);
    QTest::qWait(500);
    // xdotool matches names regardless of case: the tray icon's window is "pulsiero"; the main
    // window's title ends in "Pulsiero".
    for (const QString& w : xdo({"search", "--onlyvisible", "--pid", pid, "--name", "Pulsiero$"})
                                .split('\n', Qt::SkipEmptyParts))
        QVERIFY2(!xdo({"getwindowname", w}).endsWith(QStringLiteral("Pulsiero")),
                 "the window shows");
}

QTEST_GUILESS_MAIN(TestE2E)
#include "tst_e2e.moc"
