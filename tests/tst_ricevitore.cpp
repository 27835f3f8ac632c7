#include "protocol/Frame.h"
#include "ricevitore/ServerRicevitore.h"
#include "settings/IniFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace pulsiero;

namespace {

// A receiver running on its own thread on 127.0.0.1, with its log collected.
class RicevitoreInProva {
public:
    explicit RicevitoreInProva(ricevitore::Opzioni opzioni)
        : fileStato_(opzioni.fileStato), server_(std::move(opzioni)) {
        server_.impostaRegistro([this](const ricevitore::Esito& e) {
            std::lock_guard lock(mutex_);
            esiti_.push_back(e);
            if (e.accettato && !salvatoPrimaDelRegistro(e))
                ++nonSalvati_;
        });
        const auto errore = server_.apri();
        if (errore)
            qFatal("%s", errore->c_str());
        thread_ = std::thread([this] { server_.esegui(); });
    }
    ~RicevitoreInProva() {
        server_.ferma();
        thread_.join();
    }

    int connetti() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(server_.porta());
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return fd;
    }
    void invia(const std::string& dati) const {
        const int fd = connetti();
        (void)!::write(fd, dati.data(), dati.size());
        ::close(fd);
    }
    std::vector<ricevitore::Esito> attendi(std::size_t quanti, int ms = 5000) {
        (void)QTest::qWaitFor([&] { return esiti().size() >= quanti; }, ms);
        return esiti();
    }
    std::vector<ricevitore::Esito> esiti() {
        std::lock_guard lock(mutex_);
        return esiti_;
    }
    // Accepted frames logged before the state holding their step was on disk.
    int nonSalvati() {
        std::lock_guard lock(mutex_);
        return nonSalvati_;
    }

private:
    // The file must already hold this step for the transmitter, or a later one.
    bool salvatoPrimaDelRegistro(const ricevitore::Esito& e) const {
        const auto stato = rolling::Tracker::parse(ini::readFile(fileStato_).value_or(""));
        const auto trovato = stato.find(*e.pulsiero);
        return trovato != stato.end() &&
               rolling::Tracker::distance(*e.passo, trovato->second) < 32768;
    }

    std::string fileStato_;
    int nonSalvati_ = 0;
    ricevitore::Server server_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<ricevitore::Esito> esiti_;
};

std::string trama(int transmitter, int key, int step, int receiver = 1) {
    const std::time_t adesso = std::time(nullptr);
    std::tm locale{};
    localtime_r(&adesso, &locale);
    return *frame::build({receiver, transmitter, static_cast<std::int16_t>(key),
                          static_cast<std::int16_t>(locale.tm_hour * 60 + locale.tm_min), 3, step});
}

ricevitore::Opzioni opzioniDiProva(const QTemporaryDir& dir) {
    ricevitore::Opzioni o;
    o.porta = 0; // any free port on 127.0.0.1
    o.fileStato = dir.filePath("stato").toStdString();
    return o;
}

} // namespace

// The reference receiver over real loopback connections.
class TestRicevitore : public QObject {
    Q_OBJECT
private slots:
    void primoAvvioImparaPoiProtegge();
    void statoSopravviveAlRiavvio();
    void qualunqueSequenzaDiByte_data();
    void qualunqueSequenzaDiByte();
    void clientLentiEMolti();
    void programmaPerOgniTramaAccettata();
    void portaPrivilegiata();
};

void TestRicevitore::primoAvvioImparaPoiProtegge() {
    QTemporaryDir dir;
    RicevitoreInProva r(opzioniDiProva(dir));
    r.invia(trama(7, 0, 500));
    r.invia(trama(7, 1, 501));
    r.invia(trama(7, 1, 501));
    r.invia(trama(7, 2, 499));
    const auto esiti = r.attendi(4);
    QCOMPARE(esiti.size(), std::size_t{4});
    QCOMPARE(esiti[0].verdetto, std::string("accettato"));
    QCOMPARE(esiti[1].verdetto, std::string("accettato"));
    QCOMPARE(*esiti[1].passoMemorizzato, 500);
    QCOMPARE(esiti[2].verdetto, std::string("rifiutato: ripetizione rifiutata"));
    QCOMPARE(esiti[3].verdetto, std::string("rifiutato: ripetizione rifiutata"));
    QCOMPARE(*ini::readFile(dir.filePath("stato").toStdString()), std::string("7 501\n"));
    QCOMPARE(r.nonSalvati(), 0);
}

void TestRicevitore::statoSopravviveAlRiavvio() {
    QTemporaryDir dir;
    {
        RicevitoreInProva r(opzioniDiProva(dir));
        r.invia(trama(3, 0, 10));
        QCOMPARE(r.attendi(1).size(), std::size_t{1});
    }
    RicevitoreInProva r(opzioniDiProva(dir));
    r.invia(trama(3, 0, 10)); // a replay across the restart
    r.invia(trama(9, 0, 1));  // learning is over once state exists
    r.invia(trama(3, 3, 11));
    const auto esiti = r.attendi(3);
    QCOMPARE(esiti[0].verdetto, std::string("rifiutato: ripetizione rifiutata"));
    QCOMPARE(esiti[1].verdetto, std::string("rifiutato: pulsiero sconosciuto"));
    QCOMPARE(esiti[2].verdetto, std::string("accettato"));
}

void TestRicevitore::qualunqueSequenzaDiByte_data() {
    QTest::addColumn<QByteArray>("dati");
    QTest::addColumn<QString>("verdetto");
    QTest::newRow("nothing") << QByteArray() << "rifiutato: trama non valida";
    QTest::newRow("binary") << QByteArray("\x00\xFF\x1A\n", 4) << "rifiutato: trama non valida";
    QTest::newRow("too much") << QByteArray(65, 'F') << "rifiutato: troppi dati";
    QTest::newRow("wrong receiver")
        << QByteArray::fromStdString(trama(1, 0, 1, 2)) << "rifiutato: ricevitore errato";
}

void TestRicevitore::qualunqueSequenzaDiByte() {
    QFETCH(QByteArray, dati);
    QFETCH(QString, verdetto);
    QTemporaryDir dir;
    RicevitoreInProva r(opzioniDiProva(dir));
    r.invia(dati.toStdString());
    const auto esiti = r.attendi(1);
    QCOMPARE(esiti.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(esiti[0].verdetto), verdetto);
    QVERIFY(!esiti[0].accettato);
}

// Idle connections hold their slot for at most the time limit; frames behind them still get in,
// and concurrent transmitters each end at their last step.
void TestRicevitore::clientLentiEMolti() {
    QTemporaryDir dir;
    std::string enrolled;
    for (int t = 1; t <= 8; ++t)
        enrolled += std::to_string(t) + " 65535\n"; // each one's next step is 1
    QVERIFY(ini::writeFileAtomically(dir.filePath("stato").toStdString(), enrolled));
    auto opzioni = opzioniDiProva(dir);
    opzioni.maxConnessioni = 8;
    opzioni.tempoMassimo = std::chrono::milliseconds(300);
    RicevitoreInProva r(opzioni);
    std::vector<int> lenti;
    for (int i = 0; i < 12; ++i)
        lenti.push_back(r.connetti());

    std::vector<std::thread> clienti;
    for (int t = 1; t <= 8; ++t)
        clienti.emplace_back([&r, t] {
            for (int passo = 1; passo <= 25; ++passo) {
                const int fd = r.connetti();
                const std::string dati = trama(t, passo % 4, passo);
                (void)!::write(fd, dati.data(), dati.size());
                ::close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    for (auto& c : clienti)
        c.join();
    const auto esiti = r.attendi(12 + 8 * 25, 15000);
    for (int fd : lenti)
        ::close(fd);
    QCOMPARE(esiti.size(), std::size_t{12 + 8 * 25});
    int scaduti = 0;
    for (const auto& e : esiti)
        scaduti += e.verdetto == "rifiutato: tempo scaduto";
    QCOMPARE(scaduti, 12);
    QCOMPARE(r.nonSalvati(), 0);
    const auto stato = *ini::readFile(dir.filePath("stato").toStdString());
    for (int t = 1; t <= 8; ++t)
        QVERIFY2(stato.find(std::to_string(t) + " 25\n") != std::string::npos, stato.c_str());
}

void TestRicevitore::programmaPerOgniTramaAccettata() {
    QTemporaryDir dir;
    const QString script = dir.filePath("azione.sh");
    const QString uscita = dir.filePath("argomenti");
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nprintf '%s|' \"$@\" >> '" + uscita.toUtf8() + "'\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto opzioni = opzioniDiProva(dir);
    opzioni.programma = script.toStdString();
    RicevitoreInProva r(opzioni);
    r.invia(trama(5, 2, 40));
    r.invia(trama(5, 2, 40)); // refused: no run
    QCOMPARE(r.attendi(2).size(), std::size_t{2});
    QTRY_VERIFY(QFile::exists(uscita));
    const auto argomenti = [&uscita] {
        QFile risultato(uscita);
        return risultato.open(QIODevice::ReadOnly) ? risultato.readAll() : QByteArray();
    };
    QTRY_COMPARE(argomenti(), QByteArray("3|5|40|")); // key number, transmitter, step
}

void TestRicevitore::portaPrivilegiata() {
    if (geteuid() == 0)
        QSKIP("root may listen on any port");
    ricevitore::Opzioni o;
    o.porta = 100;
    ricevitore::Server server(o);
    const auto errore = server.apri();
    QVERIFY(errore);
    QVERIFY(errore->find("--porta") != std::string::npos);
}

QTEST_GUILESS_MAIN(TestRicevitore)
#include "tst_ricevitore.moc"
