#include "Aiuti.h"

#include "core/IniFile.h"
#include "qt/finestre/Messaggi.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/ErroriSocket.h"
#include "qt/platform/Trasmettitore.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace pulsiero;

namespace {
const QString kTitoloInvio = QStringLiteral("Invio dati TCP/IP");
const QString kNonInviato = QStringLiteral(
    "Attenzione il comando non è stato inviato a causa di un problema di connessione.");
const QString kNonSalvato =
    QStringLiteral("Attenzione: non è stato possibile salvare il contatore dei passi nel file di "
                   "configurazione. Il comando non è stato inviato.");

// A loopback port with nothing listening on it.
quint16 portaChiusa() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}
} // namespace

// Delivery of a press to a real receiver on 127.0.0.1, and the messages of its failures.
class TestTrasmettitore : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void consegnaAlRicevitore();
    void ricevitoreNonInAscolto();
    void erroreDiSistema_data();
    void erroreDiSistema();
    void connessioneCheNonArriva();
    void clicDuranteUnaConsegnaIgnorato();
    void contatoreNonSalvabile();
    void causaDelContatore_data();
    void causaDelContatore();
    void consegnaConChiave();
    void chiaveNonValida();
    void porta_data();
    void porta();
    void indirizzoVuoto();
    void sommaDiControlloFuoriDa32Bit();
    void suonoSoloSeConfigurato();

private:
    void configura(const QString& indirizzo, const QString& porta, const QByteArray& extra = {});
    QString passo() const {
        return QString::fromStdString(
            LeggiIni("Pulsiero", "Passo", "<none>", configurazione_->percorsoFile()));
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Messaggi> messaggi_;
    std::unique_ptr<Configurazione> configurazione_;
    std::unique_ptr<Trasmettitore> trasmettitore_;
};

void TestTrasmettitore::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    messaggi_ = std::make_unique<Messaggi>();
}

void TestTrasmettitore::cleanup() {
    trasmettitore_.reset();
    configurazione_.reset();
    while (QMessageBox* box = aiuti::messaggioAperto())
        box->close();
    messaggi_.reset();
}

void TestTrasmettitore::configura(const QString& indirizzo, const QString& porta,
                                  const QByteArray& extra) {
    const QString path = dir_->filePath("pulsiero.ini");
    // extra comes first: its keys win over the defaults of the test.
    aiuti::scriviFile(path, "[Server]\nIndirizzo=" + indirizzo.toUtf8() +
                                "\nPorta=" + porta.toUtf8() + "\n[Pulsiero]\n" + extra +
                                "ID_Dis=12345\nID_Pul=7\nPasso=41\n");
    configurazione_ = std::make_unique<Configurazione>(path);
    configurazione_->CaricaConfigurazione(false);
    trasmettitore_ = std::make_unique<Trasmettitore>(*configurazione_);
    QObject::connect(trasmettitore_.get(), &Trasmettitore::messaggio, messaggi_.get(),
                     &Messaggi::mostra);
    trasmettitore_->impostaOrologio([] { return Momento{630, 5}; });
}

void TestTrasmettitore::consegnaAlRicevitore() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("127.0.0.1", QString::number(server.serverPort()));
    QSignalSpy concluse(trasmettitore_.get(), &Trasmettitore::consegnaConclusa);

    trasmettitore_->Img_Pulsante_Click(2);
    QVERIFY(server.waitForNewConnection(2000));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray received;
    // Everything the program sends, up to its end of stream.
    QTRY_VERIFY((received += peer->readAll(), peer->state() == QAbstractSocket::UnconnectedState));
    received += peer->readAll();

    // Receiver 12345, transmitter 7, key 2, 10:30, random 5, step 42: 42 XOR 0xFFFFF = FFFD5;
    // check 12345 + 7 + 2 + 42 + 5 = 12401 = 0x3071.
    QCOMPARE(received, QByteArray("FCFC6781D589AFFFD51"));
    QTRY_COMPARE(concluse.size(), 1);
    QCOMPARE(concluse.at(0).at(0).toBool(), true);
    QCOMPARE(passo(), QStringLiteral("42"));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestTrasmettitore::ricevitoreNonInAscolto() {
    configura("127.0.0.1", QString::number(portaChiusa()));
    trasmettitore_->Img_Pulsante_Click(0);
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Errore di comunicazione"),
                                   QStringLiteral("Errore 10061 - Connessione rifiutata dal "
                                                  "ricevitore"),
                                   QMessageBox::Warning));
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio, kNonInviato, QMessageBox::Warning));
    QCOMPARE(passo(), QStringLiteral("42")); // the step is used all the same
}

// A failed connection is told under the Windows socket number of the same failure (WSAE...), with
// the words the Windows build shows for it.
void TestTrasmettitore::erroreDiSistema_data() {
    QTest::addColumn<int>("errore");
    QTest::addColumn<QString>("testo");
    QTest::newRow("refused") << ECONNREFUSED << "10061 Connessione rifiutata dal ricevitore";
    QTest::newRow("network unreachable") << ENETUNREACH << "10051 Rete non raggiungibile";
    QTest::newRow("host unreachable") << EHOSTUNREACH << "10065 Host non raggiungibile";
    QTest::newRow("timed out") << ETIMEDOUT << "10060 Tempo di connessione scaduto";
    QTest::newRow("reset") << ECONNRESET << "10054 Connessione interrotta dal ricevitore";
    QTest::newRow("forbidden") << EPERM << "10013 Accesso alla rete negato";
    QTest::newRow("no such address") << EADDRNOTAVAIL << "10049 Indirizzo non valido";
    QTest::newRow("address family") << EAFNOSUPPORT << "10047 Famiglia di indirizzi non supportata";
    QTest::newRow("out of descriptors") << EMFILE << "10055 Risorse di sistema insufficienti";
    QTest::newRow("anything else") << EIO << "10050 Rete non disponibile";
}

void TestTrasmettitore::erroreDiSistema() {
    QFETCH(int, errore);
    QFETCH(QString, testo);
    const ErroreSocket e = erroreDiConnessione(errore);
    QCOMPARE(QString::number(e.numero) + ' ' + e.descrizione, testo);
}

void TestTrasmettitore::connessioneCheNonArriva() {
    // A listener with a full backlog that never accepts: further connections stay pending.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(c);
    }
    QTest::qWait(50);

    configura("127.0.0.1", QString::number(ntohs(address.sin_port)));
    QSignalSpy concluse(trasmettitore_.get(), &Trasmettitore::consegnaConclusa);
    QElapsedTimer timer;
    timer.start();
    trasmettitore_->Img_Pulsante_Click(0);
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio, kNonInviato, QMessageBox::Warning));
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(concluse.size(), 1);
    QVERIFY(!trasmettitore_->inCorso());

    for (int c : fillers)
        ::close(c);
    ::close(listener);
}

void TestTrasmettitore::clicDuranteUnaConsegnaIgnorato() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("127.0.0.1", QString::number(server.serverPort()));
    QSignalSpy concluse(trasmettitore_.get(), &Trasmettitore::consegnaConclusa);
    trasmettitore_->Img_Pulsante_Click(0);
    trasmettitore_->Img_Pulsante_Click(1);
    QTRY_COMPARE(concluse.size(), 1);
    QTest::qWait(50);
    QCOMPARE(concluse.size(), 1);
    QCOMPARE(passo(), QStringLiteral("42"));
}

// The counter's write fails for real (beyond the file-size limit): nothing is sent.
void TestTrasmettitore::contatoreNonSalvabile() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("127.0.0.1", QString::number(server.serverPort()),
              ";" + QByteArray(4000, 'x') + "\n");
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 2048;
    setrlimit(RLIMIT_FSIZE, &small);
    trasmettitore_->Img_Pulsante_Click(0);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    // The message names the file and the cause.
    const QString causa = QStringLiteral(" (%1: errore del sistema (%2)). Il")
                              .arg(QString::fromStdString(configurazione_->percorsoFile()),
                                   QString::fromLocal8Bit(std::strerror(EFBIG)));
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio,
                                   QString(kNonSalvato).replace(QStringLiteral(". Il"), causa),
                                   QMessageBox::Warning));
    QVERIFY(!server.waitForNewConnection(200));
    QCOMPARE(passo(), QStringLiteral("41"));
}

// A counter that cannot be advanced is named with the file and what is wrong with it; nothing
// is sent and nothing stored.
void TestTrasmettitore::causaDelContatore_data() {
    const QByteArray chiave = "Chiave=" + QByteArray(64, 'a') + "\n";
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QString>("causa");
    QTest::newRow("passo fuori misura") << QByteArray("Passo=1e300\n")
                                        << "il contatore dei passi «1e300» non è valido";
    QTest::newRow("ciclo vuoto") << chiave + "Ciclo=\n"
                                 << "il contatore dei giri (Ciclo) è vuoto";
    QTest::newRow("ciclo non numerico")
        << chiave + "Ciclo=12a\n"
        << "il contatore dei giri (Ciclo) «12a» non è valido (serve un numero da 0 a 65535)";
    QTest::newRow("ciclo oltre 65535")
        << chiave + "Ciclo=65536\n"
        << "il contatore dei giri (Ciclo) «65536» non è valido (serve un numero da 0 a 65535)";
    QTest::newRow("contatore esaurito")
        << chiave + "Ciclo=65535\nPasso=65535\n"
        << "il contatore è esaurito: ogni passo di ogni giro è stato inviato, occorre una "
           "nuova chiave";
}

void TestTrasmettitore::causaDelContatore() {
    QFETCH(QByteArray, extra);
    QFETCH(QString, causa);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("127.0.0.1", QString::number(server.serverPort()), extra);
    const QByteArray prima = aiuti::leggiFile(QString::fromStdString(configurazione_->percorsoFile()));
    trasmettitore_->Img_Pulsante_Click(1);
    const QString atteso =
        QString(kNonSalvato)
            .replace(QStringLiteral(". Il"),
                     QStringLiteral(" (%1: %2). Il")
                         .arg(QString::fromStdString(configurazione_->percorsoFile()), causa));
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio, atteso, QMessageBox::Warning));
    QVERIFY(!server.waitForNewConnection(200));
    QCOMPARE(aiuti::leggiFile(QString::fromStdString(configurazione_->percorsoFile())), prima);
}

// Expected bytes computed apart (Python's hashlib.blake2b, keyed, 16-byte digest).
void TestTrasmettitore::consegnaConChiave() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("127.0.0.1", QString::number(server.serverPort()),
              "Chiave=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\n");
    trasmettitore_->Img_Pulsante_Click(2);
    QVERIFY(server.waitForNewConnection(2000));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray received;
    QTRY_VERIFY((received += peer->readAll(), peer->state() == QAbstractSocket::UnconnectedState));
    received += peer->readAll();
    QCOMPARE(received, QByteArray("FCFC6781D589AFFFD51-00007B1BF2CC7FE662EF8574F568342B2B41"));
    QCOMPARE(passo(), QStringLiteral("42"));
    QVERIFY(!aiuti::messaggioAperto());
}

void TestTrasmettitore::chiaveNonValida() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // One digit short of a key: sending unauthenticated instead would go unnoticed.
    configura("127.0.0.1", QString::number(server.serverPort()),
              "Chiave=" + QByteArray(63, '7') + "\n");
    trasmettitore_->Img_Pulsante_Click(0);
    QVERIFY(aiuti::chiudiMessaggio(
        kTitoloInvio,
        QStringLiteral("Attenzione: la chiave nel file di configurazione non è valida (servono 64 "
                       "cifre esadecimali). Il comando non è stato inviato."),
        QMessageBox::Warning));
    QTest::qWait(200);
    QVERIFY(!server.hasPendingConnections() && !server.waitForNewConnection(0));
    QCOMPARE(passo(), QStringLiteral("41"));
}

// Ports 1 to 65535 are tried (nothing listens on 65535 here: refused); others are refused
// before a step is spent.
void TestTrasmettitore::porta_data() {
    QTest::addColumn<QString>("porta");
    QTest::addColumn<bool>("tentata");
    QTest::newRow("65535") << "65535" << true;
    QTest::newRow("65536") << "65536" << false;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("abc") << "abc" << false;
}

void TestTrasmettitore::porta() {
    QFETCH(QString, porta);
    QFETCH(bool, tentata);
    configura("127.0.0.1", porta);
    trasmettitore_->Img_Pulsante_Click(0);
    if (tentata)
        QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Errore di comunicazione"),
                                       QStringLiteral("Errore 10061 - Connessione rifiutata dal "
                                                      "ricevitore"),
                                       QMessageBox::Warning));
    QVERIFY(aiuti::chiudiMessaggio(
        kTitoloInvio,
        tentata ? kNonInviato
                : QStringLiteral("Attenzione: la porta del ricevitore «%1» non è valida (serve un "
                                 "numero da 1 a 65535). Il comando non è stato inviato.")
                      .arg(porta),
        QMessageBox::Warning));
    QVERIFY(!aiuti::messaggioAperto());
    QCOMPARE(passo(), tentata ? QStringLiteral("42") : QStringLiteral("41"));
}

void TestTrasmettitore::indirizzoVuoto() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    configura("", QString::number(server.serverPort()));
    trasmettitore_->Img_Pulsante_Click(0);
    // The warning alone: no "host not found" box before it.
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio, kNonInviato, QMessageBox::Warning));
    QTest::qWait(100);
    QVERIFY(!aiuti::messaggioAperto());
}

void TestTrasmettitore::sommaDiControlloFuoriDa32Bit() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // 2147483641 + 7 already overflows; with step -29 the total would be back in range.
    configura("127.0.0.1", QString::number(server.serverPort()), "ID_Dis=2147483641\nID_Pul=7\n");
    QVERIFY(ScriviIni("Pulsiero", "Passo", "-30", configurazione_->percorsoFile()));
    trasmettitore_->Img_Pulsante_Click(2);
    QVERIFY(aiuti::chiudiMessaggio(kTitoloInvio, kNonSalvato, QMessageBox::Warning));
    QVERIFY(!server.waitForNewConnection(200));
    QCOMPARE(passo(), QStringLiteral("-30"));
}

void TestTrasmettitore::suonoSoloSeConfigurato() {
    configura("127.0.0.1", QString::number(portaChiusa()));
    trasmettitore_->chiudi();
    QSignalSpy concluse(trasmettitore_.get(), &Trasmettitore::consegnaConclusa);
    QSignalSpy suoni(trasmettitore_.get(), &Trasmettitore::suonaTasto);
    trasmettitore_->Img_Pulsante_Click(0);
    QTRY_COMPARE(concluse.size(), 1);
    QCOMPARE(suoni.size(), 0);
    while (aiuti::messaggioAperto())
        aiuti::messaggioAperto()->close();

    configura("127.0.0.1", QString::number(portaChiusa()), "suono=manca.wav\n");
    QSignalSpy suonati(trasmettitore_.get(), &Trasmettitore::suonaTasto);
    trasmettitore_->Img_Pulsante_Click(0);
    QCOMPARE(suonati.size(), 1);
    QCOMPARE(suonati.first().first().toString(), QStringLiteral("manca.wav"));
}

QTEST_MAIN(TestTrasmettitore)
#include "tst_trasmettitore.moc"
