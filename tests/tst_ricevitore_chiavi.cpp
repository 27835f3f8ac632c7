// The receiver with keyed transmitters: frames made by the program's own press, checked by a
// real receiver on 127.0.0.1; pairing through the real programs.
#include "Loopback.h"
#include "UtenteComune.h"
#include "core/Autenticazione.h"
#include "core/CreaComando.h"
#include "core/Frame.h"
#include "core/IniFile.h"
#include "ricevitore/ServerRicevitore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pulsiero;

namespace {

const QString kChiaveDue = QStringLiteral("02").repeated(32); // 32 bytes of 2
const QString kChiaveB =
    QStringLiteral("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
const QString kChiaveAltra = QString(64, QChar('7'));

void scriviFile(const QString& percorso, const QByteArray& dati, int modo = 0600) {
    QFile f(percorso);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(percorso));
    f.write(dati);
    f.close();
    ::chmod(QFile::encodeName(percorso).constData(), static_cast<mode_t>(modo));
}

QByteArray leggiFile(const QString& percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A connection from a chosen loopback address, so that many refusals never share one lockout.
void invia(std::uint16_t porta, const std::string& dati, const char* da = "127.0.0.1") {
    const int fd = loopback::connetti(porta, da);
    (void)!::write(fd, dati.data(), dati.size());
    ::close(fd);
}

// A receiver on its own thread, with its results collected.
class Ricevitore {
public:
    explicit Ricevitore(ricevitore::Opzioni opzioni) : server_(std::move(opzioni)) {
        server_.impostaRegistro([this](ricevitore::Esito e) {
            std::lock_guard lock(mutex_);
            esiti_.push_back(std::move(e));
        });
        if (const auto errore = server_.apri())
            qFatal("%s", errore->c_str());
        thread_ = std::thread([this] { server_.esegui(); });
    }
    ~Ricevitore() {
        server_.ferma();
        thread_.join();
    }
    // Sends the bytes and waits for their result.
    ricevitore::Esito invia(const std::string& dati) {
        const auto prima = esiti().size();
        ::invia(server_.porta(), dati);
        return attendi(prima + 1).back();
    }
    std::uint16_t porta() const { return server_.porta(); }
    const std::vector<std::string>& avvisi() const { return server_.avvisi(); }
    std::vector<ricevitore::Esito> attendi(std::size_t quanti, int ms = 10000) {
        (void)QTest::qWaitFor([&] { return esiti().size() >= quanti; }, ms);
        auto tutti = esiti();
        if (tutti.size() < quanti)
            qFatal("%zu results of %zu", tutti.size(), quanti);
        return tutti;
    }
    std::vector<ricevitore::Esito> esiti() {
        std::lock_guard lock(mutex_);
        return esiti_;
    }

private:
    ricevitore::Server server_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<ricevitore::Esito> esiti_;
};

// Receiver 12345 with its state and keys in dir; transmitter 7 holds the key given.
ricevitore::Opzioni opzioni(const QTemporaryDir& dir) {
    ricevitore::Opzioni o;
    o.porta = 0;
    o.numeroRicevitore = 12345;
    o.fileStato = dir.filePath("stato").toStdString();
    o.fileChiavi = dir.filePath("chiavi").toStdString();
    o.politica.toleranceMinutes = 10; // the most a receiver with keys allows
    return o;
}

// The frame's minute is the receiver's own: the minute check is always on with a key.
Momento adesso() {
    const std::time_t t = std::time(nullptr);
    std::tm locale{};
    localtime_r(&t, &locale);
    return {static_cast<std::int16_t>(locale.tm_hour * 60 + locale.tm_min), 3};
}

// Transmitter 7 of receiver 12345: its settings file with a key, a wrap count and a step.
std::string impostazioni(const QTemporaryDir& dir, const QString& chiave, int ciclo, int passo) {
    const std::string percorso = dir.filePath("pulsiero.ini").toStdString();
    if (!ScriviIni({{"Pulsiero", "ID_Pul", "7"},
                    {"Pulsiero", "ID_Dis", "12345"},
                    {"Pulsiero", "Chiave", chiave.toStdString()},
                    {"Pulsiero", "Ciclo", std::to_string(ciclo)},
                    {"Pulsiero", "Passo", std::to_string(passo)}},
                   percorso))
        qFatal("cannot write the settings");
    return percorso;
}

// One press of key index 1 with the program's own frame builder.
std::string premi(const std::string& percorso) {
    Impostazioni imp;
    imp.carica(percorso);
    const auto comando = CreaComando(1, imp, percorso, adesso());
    if (!comando)
        qFatal("no frame made");
    return *comando;
}

} // namespace

class TestRicevitoreChiavi : public QObject {
    Q_OBJECT
private slots:
    void contatoreConChiave_data();
    void contatoreConChiave();
    void andataERitorno_data();
    void andataERitorno();
    void giroDelPasso();
    void ogniByteCambiato();
    void rifiuti_data();
    void rifiuti();
    void stessoIndirizzo_data();
    void stessoIndirizzo();
    void azzeraPasso_data();
    void azzeraPasso();
    void azzeraPoiRisincronizza();
    void avvioRifiutato_data();
    void avvioRifiutato();
    void abbinaEIncolla();
    void chiaveMancante();
    void abbinaPerIlServizio();
    void abbinaScriveLoStatoPrima();
    void dimentica_data();
    void dimentica();
    void stessoPrefissoIpv6();
    void senzaPipeNonParte();
};

// The rules on a keyed transmitter's 32-bit counter (wrap << 16 | step): events "counter@second".
void TestRicevitoreChiavi::contatoreConChiave_data() {
    QTest::addColumn<qint64>("memorizzato");
    QTest::addColumn<QStringList>("eventi");
    QTest::addColumn<QStringList>("verdetti");
    const QString accettato = "accettato", attesa = "fuori finestra, risincronizzazione in attesa",
                  risincronizzato = "accettato (risincronizzato)",
                  ripetizione = "ripetizione rifiutata";
    QTest::newRow("one step across the wrap")
        << qint64(65535) << QStringList{"65537@0"} << QStringList{accettato};
    QTest::newRow("window 16 across the wrap, and one past it")
        << qint64(65520) << QStringList{"65537@0", "65554@1"} << QStringList{accettato, attesa};
    QTest::newRow("a pair across the wrap")
        << qint64(5) << QStringList{"65535@0", "65537@1"} << QStringList{attesa, risincronizzato};
    QTest::newRow("a pair at the far end")
        << qint64(0) << QStringList{"4294901761@0", "4294901762@1"}
        << QStringList{attesa, risincronizzato};
    QTest::newRow("the same counter")
        << qint64(65537) << QStringList{"65537@0"} << QStringList{ripetizione};
    QTest::newRow("far behind is behind, never round the cycle")
        << qint64(4026531840) << QStringList{"268435457@0", "268435458@1"}
        << QStringList{ripetizione, ripetizione};
}

void TestRicevitoreChiavi::contatoreConChiave() {
    QFETCH(qint64, memorizzato);
    QFETCH(QStringList, eventi);
    QFETCH(QStringList, verdetti);
    rolling::Policy politica;
    politica.keyed = {7};
    rolling::Tracker tracker(politica);
    tracker.load({{7, static_cast<rolling::Counter>(memorizzato)}});
    QStringList effettivi;
    for (const QString& e : eventi)
        effettivi << QString::fromStdString(std::string(rolling::describe(
            tracker
                .evaluate(7, static_cast<rolling::Counter>(e.section('@', 0, 0).toLongLong()), 600,
                          600, e.section('@', 1, 1).toInt())
                .verdict)));
    QCOMPARE(effettivi, verdetti);
}

void TestRicevitoreChiavi::andataERitorno_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<int>("ciclo");
    QTest::addColumn<int>("passo");
    QTest::addColumn<QByteArray>("statoPrima");
    QTest::addColumn<qint64>("ricevuto");
    QTest::addColumn<qint64>("memorizzato");
    QTest::addColumn<QByteArray>("statoDopo");
    QTest::newRow("key 2, just paired")
        << kChiaveDue << 0 << 0
        << QByteArray("pulsiero-ricevitore stato 2\n7 0\ncontrollo C14D7D4F\n") << qint64(1)
        << qint64(0) << QByteArray("pulsiero-ricevitore stato 2\n7 1 chiave\ncontrollo 68AE87BC\n");
    QTest::newRow("key B, wrap 3 step 500")
        << kChiaveB << 3 << 500
        << QByteArray("pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n")
        << qint64(197109) << qint64(197108)
        << QByteArray("pulsiero-ricevitore stato 2\n7 197109 chiave\ncontrollo 94F0EB2D\n");
    QTest::newRow("key 2, last wrap count")
        << kChiaveDue << 65535 << 100
        << QByteArray("pulsiero-ricevitore stato 2\n7 4294901860\ncontrollo E8DDFF4A\n")
        << qint64(4294901861) << qint64(4294901860)
        << QByteArray("pulsiero-ricevitore stato 2\n7 4294901861 chiave\ncontrollo 65D2DA6C\n");
    QTest::newRow("key B, version 1 state")
        << kChiaveB << 0 << 500
        << QByteArray("pulsiero-ricevitore stato 1\n7 500\ncontrollo B7B2C583\n") << qint64(501)
        << qint64(500)
        << QByteArray("pulsiero-ricevitore stato 2\n7 501 chiave\ncontrollo 00C7B1EE\n");
}

void TestRicevitoreChiavi::andataERitorno() {
    QFETCH(QString, chiave);
    QFETCH(int, ciclo);
    QFETCH(int, passo);
    QFETCH(QByteArray, statoPrima);
    QFETCH(qint64, ricevuto);
    QFETCH(qint64, memorizzato);
    QFETCH(QByteArray, statoDopo);
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"), statoPrima);
    scriviFile(dir.filePath("chiavi"), "7 " + chiave.toLatin1() + "\n");
    const auto ini = impostazioni(dir, chiave, ciclo, passo);
    Ricevitore r(opzioni(dir));
    const auto e = r.invia(premi(ini));
    QCOMPARE(QString::fromStdString(e.verdetto), QStringLiteral("accettato"));
    QVERIFY(e.accettato);
    QVERIFY(e.autenticato);
    QCOMPARE(e.pulsiero.value_or(0), 7);
    QCOMPARE(e.passo.value_or(-1), ricevuto);
    QCOMPARE(e.passoMemorizzato.value_or(-1), memorizzato);
    QCOMPARE(leggiFile(dir.filePath("stato")), statoDopo);
}

// 65535 -> 1: the wrap count advances with the step, the frame is accepted, and the frame from
// before the wrap, sent again, is a replay.
void TestRicevitoreChiavi::giroDelPasso() {
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"), "pulsiero-ricevitore stato 1\n7 65534\ncontrollo B39691E0\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveDue.toLatin1() + "\n");
    const auto ini = impostazioni(dir, kChiaveDue, 0, 65534);
    Ricevitore r(opzioni(dir));
    const auto primaDelGiro = premi(ini);
    QCOMPARE(QString::fromStdString(primaDelGiro.substr(primaDelGiro.find('-'), 5)), "-0000");
    QCOMPARE(r.invia(primaDelGiro).passo.value_or(-1), 65535);
    const auto dopoIlGiro = premi(ini);
    QCOMPARE(LeggiIni("Pulsiero", "Ciclo", "", ini), std::string("1"));
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", ini), std::string("1"));
    QCOMPARE(QString::fromStdString(dopoIlGiro.substr(dopoIlGiro.find('-'), 5)), "-0001");
    const auto giro = r.invia(dopoIlGiro);
    QCOMPARE(QString::fromStdString(giro.verdetto), QStringLiteral("accettato"));
    QCOMPARE(giro.passo.value_or(-1), 65537);
    const auto ripetuta = r.invia(primaDelGiro);
    QCOMPARE(QString::fromStdString(ripetuta.verdetto),
             QStringLiteral("rifiutato: ripetizione rifiutata"));
    QCOMPARE(QString::fromStdString(ripetuta.motivo), QStringLiteral("ripetizione"));
    QCOMPARE(leggiFile(dir.filePath("stato")),
             QByteArray("pulsiero-ricevitore stato 2\n7 65537 chiave\ncontrollo FAB4AA9F\n"));
}

// Each byte of a genuine frame replaced by each of the 255 other values: all refused, and the
// genuine frame is still accepted afterwards.
void TestRicevitoreChiavi::ogniByteCambiato() {
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveB.toLatin1() + "\n");
    const auto vera = premi(impostazioni(dir, kChiaveB, 3, 500));
    QCOMPARE(vera.size(), std::size_t{56});
    auto o = opzioni(dir);
    o.tentativi = 1000000;
    Ricevitore r(std::move(o));
    std::size_t inviate = 0;
    for (std::size_t i = 0; i < vera.size(); ++i) {
        const std::string da = "127.0.0." + std::to_string(2 + i);
        for (int b = 0; b < 256; ++b) {
            if (static_cast<unsigned char>(vera[i]) == b)
                continue;
            std::string cambiata = vera;
            cambiata[i] = static_cast<char>(b);
            invia(r.porta(), cambiata, da.c_str());
            ++inviate;
        }
    }
    QCOMPARE(inviate, std::size_t{56 * 255});
    const auto esiti = r.attendi(inviate, 60000);
    for (const auto& e : esiti)
        QVERIFY2(!e.accettato && !e.autenticato, e.trama.c_str());
    QCOMPARE(QString::fromStdString(r.invia(vera).verdetto), QStringLiteral("accettato"));
}

void TestRicevitoreChiavi::rifiuti_data() {
    QTest::addColumn<int>("pulsiero");
    QTest::addColumn<QString>("chiave"); // of the MAC; empty: no authentication part
    QTest::addColumn<QString>("verdetto");
    QTest::addColumn<QString>("motivo");
    QTest::newRow("keyed, no authentication part")
        << 7 << QString() << "rifiutato: trama non autenticata"
        << "non_autenticata";
    QTest::newRow("keyed, MAC of another key")
        << 7 << kChiaveAltra << "rifiutato: autenticazione fallita"
        << "autenticazione_fallita";
    QTest::newRow("keyed, right MAC") << 7 << kChiaveB << "accettato"
                                      << "accettato";
    QTest::newRow("no key, authentication part")
        << 9 << kChiaveB << "rifiutato: pulsiero senza chiave"
        << "senza_chiave";
    QTest::newRow("no key, plain frame as before") << 9 << QString() << "accettato"
                                                   << "accettato";
}

void TestRicevitoreChiavi::rifiuti() {
    QFETCH(int, pulsiero);
    QFETCH(QString, chiave);
    QFETCH(QString, verdetto);
    QFETCH(QString, motivo);
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\n9 500\ncontrollo 6EC0E727\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveB.toLatin1() + "\n");
    Ricevitore r(opzioni(dir));
    std::string trama = *frame::build({12345, pulsiero, 2, adesso().minutoDelGiorno, 3, 501});
    if (!chiave.isEmpty())
        trama = *autenticazione::tramaAutenticata(
            trama, 3, *autenticazione::leggiChiave(chiave.toStdString()));
    const auto e = r.invia(trama);
    QCOMPARE(QString::fromStdString(e.verdetto), verdetto);
    QCOMPARE(QString::fromStdString(e.motivo), motivo);
    QCOMPARE(e.autenticato, pulsiero == 7 && verdetto == "accettato");
    QCOMPARE(e.passoMemorizzato.value_or(-1), pulsiero == 7 ? 197108 : 500);
}

void TestRicevitoreChiavi::stessoIndirizzo_data() {
    QTest::addColumn<int>("tentativi");  // refusals before a block
    QTest::addColumn<int>("inattive");   // idle connections held at the genuine address first
    QTest::addColumn<QString>("prima");  // sent thrice from the address before each press:
                                         // "falsa" a wrong MAC, "ripetuta" the last press again
    QTest::addColumn<QString>("motivo"); // of a plain frame of 9 from the address at the end
    QTest::newRow("wrong MACs block the address") << 3 << 0 << "falsa"
                                                  << "troppi_tentativi";
    QTest::newRow("four idle connections at the address, no blocks") << 1000000 << 4 << ""
                                                                     << "";
    QTest::newRow("idle connections and wrong MACs") << 3 << 4 << "falsa"
                                                     << "";
    QTest::newRow("replays with the right MAC do not block") << 3 << 0 << "ripetuta"
                                                             << "sconosciuto";
}

// Someone sharing the keyed transmitter's address (NAT, the same host) sends wrong MACs and
// holds connections: every press with the right MAC is still accepted, while plain frames and
// wrong MACs from the address are refused outright once it is blocked. Replays that carry the
// right MAC are refused too, but never block the address.
void TestRicevitoreChiavi::stessoIndirizzo() {
    QFETCH(int, tentativi);
    QFETCH(int, inattive);
    QFETCH(QString, prima);
    QFETCH(QString, motivo);
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveB.toLatin1() + "\n");
    const auto ini = impostazioni(dir, kChiaveB, 3, 500);
    auto o = opzioni(dir);
    o.tentativi = tentativi;
    o.tempoMassimo = std::chrono::milliseconds(10000); // the idle ones stay for the whole test
    Ricevitore r(std::move(o));
    std::vector<int> tenute;
    const auto tieni = [&] { // the attacker comes back at once after each press
        for (int i = 0; i < inattive; ++i)
            tenute.push_back(loopback::connetti(r.porta()));
    };
    const std::string trama = *frame::build({12345, 7, 2, adesso().minutoDelGiorno, 3, 501});
    const auto falsa = *autenticazione::tramaAutenticata(
        trama, 3, *autenticazione::leggiChiave(kChiaveAltra.toStdString()));
    const auto accettate = [&] {
        const auto esiti = r.esiti();
        return std::count_if(esiti.begin(), esiti.end(),
                             [](const ricevitore::Esito& e) { return e.accettato; });
    };
    std::string ultima = prima == "falsa" ? falsa : "";
    for (int i = 0; i < 12; ++i) {
        tieni();
        for (int f = 0; !ultima.empty() && f < 3; ++f)
            invia(r.porta(), ultima);
        const std::string premuta = premi(ini);
        invia(r.porta(), premuta);
        if (prima == "ripetuta")
            ultima = premuta;
        (void)QTest::qWaitFor([&] { return accettate() > i; }, 2000);
    }
    for (const int fd : tenute)
        ::close(fd);
    QCOMPARE(accettate(), 12);
    if (!motivo.isEmpty()) {
        const auto nove = *frame::build({12345, 9, 2, adesso().minutoDelGiorno, 3, 501});
        QCOMPARE(QString::fromStdString(r.invia(nove).motivo), motivo);
    }
}

void TestRicevitoreChiavi::azzeraPasso_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("ciclo");
    QTest::addColumn<bool>("riuscito");
    QTest::addColumn<QString>("passoDopo");
    QTest::addColumn<QString>("cicloDopo");
    QTest::newRow("no key") << QString() << "3" << true << "0"
                            << "3";
    QTest::newRow("key, wrap 3") << kChiaveDue << "3" << true << "0"
                                 << "4";
    QTest::newRow("key, wrap 65534") << kChiaveDue << "65534" << true << "0"
                                     << "65535";
    QTest::newRow("key, wrap 65535: used up") << kChiaveDue << "65535" << false << "500"
                                              << "65535";
}

void TestRicevitoreChiavi::azzeraPasso() {
    QFETCH(QString, chiave);
    QFETCH(QString, ciclo);
    QFETCH(bool, riuscito);
    QFETCH(QString, passoDopo);
    QFETCH(QString, cicloDopo);
    QTemporaryDir dir;
    const std::string ini = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ScriviIni({{"Pulsiero", "Chiave", chiave.toStdString()},
                       {"Pulsiero", "Ciclo", ciclo.toStdString()},
                       {"Pulsiero", "Passo", "500"}},
                      ini));
    QCOMPARE(AzzeraPasso(ini), riuscito);
    QCOMPARE(QString::fromStdString(LeggiIni("Pulsiero", "Passo", "", ini)), passoDopo);
    QCOMPARE(QString::fromStdString(LeggiIni("Pulsiero", "Ciclo", "", ini)), cicloDopo);
}

// After a reset the keyed transmitter sends counters the receiver has never seen: two presses
// resynchronise it, and no frame it had already accepted comes again.
void TestRicevitoreChiavi::azzeraPoiRisincronizza() {
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveDue.toLatin1() + "\n");
    const auto ini = impostazioni(dir, kChiaveDue, 3, 500);
    QVERIFY(AzzeraPasso(ini));
    Ricevitore r(opzioni(dir));
    const auto prima = r.invia(premi(ini));
    QCOMPARE(QString::fromStdString(prima.verdetto),
             QStringLiteral("rifiutato: fuori finestra, risincronizzazione in attesa"));
    QCOMPARE(prima.passo.value_or(-1), 262145);
    const auto seconda = r.invia(premi(ini));
    QCOMPARE(QString::fromStdString(seconda.verdetto),
             QStringLiteral("accettato (risincronizzato)"));
    QCOMPARE(seconda.passo.value_or(-1), 262146);
    QCOMPARE(leggiFile(dir.filePath("stato")),
             QByteArray("pulsiero-ricevitore stato 2\n7 262146 chiave\ncontrollo 81100378\n"));
}

void TestRicevitoreChiavi::avvioRifiutato_data() {
    QTest::addColumn<QByteArray>("chiavi");
    QTest::addColumn<int>("modo");
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<QString>("messaggio");
    const QByteArray riga = "7 " + kChiaveB.toLatin1() + "\n";
    QTest::newRow("readable by group")
        << riga << 0640 << QStringList()
        << "il file delle chiavi è accessibile ad altri utenti (permessi 0640; usare chmod 600)";
    QTest::newRow("readable by others")
        << riga << 0604 << QStringList()
        << "il file delle chiavi è accessibile ad altri utenti (permessi 0604; usare chmod 600)";
    QTest::newRow("symbolic link") << riga << 0600 << QStringList{"--chiavi", "@/collegamento"}
                                   << "il file delle chiavi è un collegamento simbolico";
    QTest::newRow("a line that is no key")
        << QByteArray("# abbinati\n7 ABC\n") << 0600 << QStringList()
        << "file delle chiavi non valido: riga 2 non valida";
    QTest::newRow("a transmitter twice") << riga + riga << 0600 << QStringList()
                                         << "file delle chiavi non valido: riga 2 non valida";
    QTest::newRow("transmitter 129") << "129 " + kChiaveB.toLatin1() << 0600 << QStringList()
                                     << "file delle chiavi non valido: riga 1 non valida";
    QTest::newRow("minute check off with a key")
        << riga << 0600 << QStringList{"--tolleranza", "no"}
        << "--tolleranza no non è ammessa con pulsieri abbinati a una chiave";
    // Frames 720 minutes off once passed: a frame held back stayed valid all day.
    QTest::newRow("tolerance 11 with a key")
        << riga << 0600 << QStringList{"--tolleranza", "11"}
        << "--tolleranza 11 supera i 10 minuti ammessi con pulsieri abbinati a una chiave";
    QTest::newRow("tolerance 720 with a key only in the state")
        << QByteArray() << 0600 << QStringList{"--tolleranza", "720", "@stato"}
        << "--tolleranza 720 supera i 10 minuti ammessi";
}

void TestRicevitoreChiavi::avvioRifiutato() {
    QFETCH(QByteArray, chiavi);
    QFETCH(int, modo);
    QFETCH(QStringList, argomenti);
    QFETCH(QString, messaggio);
    QTemporaryDir dir;
    if (!chiavi.isEmpty())
        scriviFile(dir.filePath("chiavi"), chiavi, modo);
    if (argomenti.removeAll("@stato"))
        scriviFile(dir.filePath("stato"), "pulsiero-ricevitore stato 2\n7 500 chiave\n"
                                          "controllo 17BCA5AD\n");
    QFile::link(dir.filePath("chiavi"), dir.filePath("collegamento"));
    argomenti.replaceInStrings("@", dir.path());
    QProcess p;
    p.start(RICEVITORE, QStringList{"--porta", "0", "--stato", dir.filePath("stato")} + argomenti);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        QFAIL("the receiver started");
    }
    const QString errori = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(errori.contains(messaggio), qPrintable(errori));
}

// The real programs: pairing prints the lines, pasted into a settings file they make a press that
// the receiver accepts at once; pairing beside a running receiver is refused.
void TestRicevitoreChiavi::abbinaEIncolla() {
    QTemporaryDir dir;
    const QString stato = dir.filePath("stato");
    QProcess abbina;
    abbina.start(RICEVITORE, {"--abbina", "7", "--stato", stato});
    QVERIFY(abbina.waitForFinished(5000));
    QCOMPARE(abbina.exitCode(), 0);
    const QByteArray righe = abbina.readAllStandardOutput();
    const QRegularExpression forma(
        QStringLiteral("^\\[Pulsiero\\]\nChiave=([0-9A-F]{64})\nCiclo=0\nPasso=0\n$"));
    const auto trovato = forma.match(QString::fromLatin1(righe));
    QVERIFY2(trovato.hasMatch(), righe.constData());
    QCOMPARE(leggiFile(dir.filePath("chiavi")), "7 " + trovato.captured(1).toLatin1() + "\n");
    QCOMPARE(QFileInfo(dir.filePath("chiavi")).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QCOMPARE(leggiFile(stato),
             QByteArray("pulsiero-ricevitore stato 2\n7 0 chiave\ncontrollo 7FD593FF\n"));

    QProcess ricevitore;
    ricevitore.start(RICEVITORE,
                     {"--porta", "0", "--ricevitore", "12345", "--stato", stato, "--json"});
    QString avvio;
    QVERIFY(QTest::qWaitFor(
        [&] {
            ricevitore.waitForReadyRead(50);
            avvio += QString::fromUtf8(ricevitore.readAllStandardError());
            return avvio.contains('\n');
        },
        5000));
    const auto porta = QRegularExpression(" porta (\\d+),").match(avvio).captured(1);
    QVERIFY2(!porta.isEmpty(), qPrintable(avvio));

    QProcess ancora;
    ancora.start(RICEVITORE, {"--abbina", "7", "--stato", stato});
    QVERIFY(ancora.waitForFinished(5000));
    QCOMPARE(ancora.exitCode(), 1);
    QVERIFY(QString::fromUtf8(ancora.readAllStandardError())
                .contains("stato già in uso da un'altra copia del ricevitore"));
    QCOMPARE(leggiFile(dir.filePath("chiavi")), "7 " + trovato.captured(1).toLatin1() + "\n");

    const QString ini = dir.filePath("pulsiero.ini");
    scriviFile(ini, "[Server]\nIndirizzo=127.0.0.1\nPorta=" + porta.toLatin1() + "\n" + righe +
                        "ID_Pul=7\nID_Dis=12345\n");
    QProcess tasto;
    tasto.start(PULSIERO, {"--tasto", "2", "--impostazioni", ini});
    QVERIFY(tasto.waitForFinished(10000));
    QCOMPARE(tasto.exitCode(), 0);

    QByteArray riga;
    QVERIFY(QTest::qWaitFor(
        [&] {
            ricevitore.waitForReadyRead(50);
            riga += ricevitore.readAllStandardOutput();
            return riga.contains('\n');
        },
        5000));
    ricevitore.terminate();
    QVERIFY(ricevitore.waitForFinished(5000));
    const auto json = QJsonDocument::fromJson(riga).object();
    QCOMPARE(json["motivo"].toString(), QStringLiteral("accettato"));
    QCOMPARE(json["autenticato"].toBool(), true);
    QCOMPARE(json["pulsiero"].toInt(), 7);
    QCOMPARE(json["tasto"].toInt(), 2);
    QCOMPARE(json["passo"].toInt(), 1);
    QCOMPARE(json["memorizzato"].toInt(), 0);
}

// The keys file deleted (any member of a group-writable folder could): transmitter 7 stays keyed,
// its frames are refused, and the start-up says why. A forged plain frame was once accepted.
void TestRicevitoreChiavi::chiaveMancante() {
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveB.toLatin1() + "\n");
    {
        Ricevitore r(opzioni(dir));
        QVERIFY(r.invia(premi(impostazioni(dir, kChiaveB, 3, 500))).accettato);
    }
    QVERIFY(QFile::remove(dir.filePath("chiavi")));
    Ricevitore r(opzioni(dir));
    QCOMPARE(r.avvisi().size(), std::size_t{1});
    QVERIFY2(QString::fromStdString(r.avvisi()[0]).startsWith("pulsiero 7: chiave mancante in "),
             r.avvisi()[0].c_str());
    const auto falsa = r.invia(*frame::build({12345, 7, 2, adesso().minutoDelGiorno, 3, 502}));
    QCOMPARE(QString::fromStdString(falsa.verdetto), QStringLiteral("rifiutato: chiave mancante"));
}

// Pairing for the systemd service, as the README's systemd-run line does it: the service's user
// (nobody stands in for the dynamic one), its STATE_DIRECTORY and UMask=0077. The files made
// have the owner and modes the service accepts: it starts with transmitter 7 keyed and no warning.
void TestRicevitoreChiavi::abbinaPerIlServizio() {
    QTemporaryDir base;
    ::chmod(QFile::encodeName(base.path()).constData(), 0711);
    const QString cartella = base.filePath("pulsiero-ricevitore"); // StateDirectoryMode=0700
    QDir().mkpath(cartella);
    ::chmod(QFile::encodeName(cartella).constData(), 0700);
    QStringList prima{"sh", "-c", "umask 077 && exec \"$0\" \"$@\""};
    const bool radice = ::geteuid() == 0;
    if (radice) {
        (void)!::chown(QFile::encodeName(cartella).constData(), 65534, 65534);
        prima = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + prima;
    }
    auto ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("STATE_DIRECTORY", cartella);
    ambiente.remove("XDG_STATE_HOME");
    const auto esegui = [&](QProcess& p, const QStringList& argomenti) {
        p.setProcessEnvironment(ambiente);
        // nobody runs a copy it can reach: the build folder may sit in a folder closed to it.
        const QString programma =
            radice ? utente::copiaRaggiungibile(RICEVITORE) : QString(RICEVITORE);
        const QStringList comando = prima + QStringList{programma} + argomenti;
        p.start(comando[0], comando.mid(1));
    };
    if (radice && utente::copiaRaggiungibile(RICEVITORE).isEmpty())
        QSKIP("nessuna cartella raggiungibile da nobody in /tmp");
    QProcess abbina;
    esegui(abbina, {"--abbina", "7"});
    QVERIFY(abbina.waitForFinished(5000));
    QCOMPARE(abbina.exitCode(), 0);
    for (const char* nome : {"stato", "chiavi"}) {
        const QFileInfo f(cartella + "/" + nome);
        QCOMPARE(f.ownerId(), radice ? 65534u : ::geteuid());
        QCOMPARE(f.permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }
    QProcess servizio;
    esegui(servizio, {"--porta", "0", "--ricevitore", "12345"});
    QString avvio;
    QVERIFY(QTest::qWaitFor(
        [&] {
            servizio.waitForReadyRead(50);
            avvio += QString::fromUtf8(servizio.readAllStandardError());
            return avvio.contains("in ascolto") || servizio.state() == QProcess::NotRunning;
        },
        5000));
    servizio.terminate();
    servizio.waitForFinished(5000);
    QVERIFY2(avvio.startsWith("pulsiero-ricevitore: in ascolto su 127.0.0.1"), qPrintable(avvio));
    QVERIFY2(avvio.contains("stato in " + cartella + "/stato"), qPrintable(avvio));
}

// The state cannot be written (its folder is read-only to the receiver's user): pairing fails
// and leaves no key behind. Once the key was written first, active but never printed.
void TestRicevitoreChiavi::abbinaScriveLoStatoPrima() {
    QTemporaryDir base;
    ::chmod(QFile::encodeName(base.path()).constData(), 0711);
    const QString cartella = base.filePath("stato"), altrove = base.filePath("chiavi");
    QDir().mkpath(cartella);
    QDir().mkpath(altrove);
    scriviFile(cartella + "/stato", "pulsiero-ricevitore stato 1\n7 500\ncontrollo B7B2C583\n");
    scriviFile(cartella + "/.stato.lock", "");
    QStringList comando{RICEVITORE, "--abbina",         "7", "--stato", cartella + "/stato",
                        "--chiavi", altrove + "/chiavi"};
    if (::geteuid() == 0) { // as root the modes stop nobody: the receiver runs as nobody
        for (const QString& f : {cartella, altrove, cartella + "/stato", cartella + "/.stato.lock"})
            (void)!::chown(QFile::encodeName(f).constData(), 65534, 65534);
        comando =
            QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + comando;
    }
    ::chmod(QFile::encodeName(altrove).constData(), 0700);
    ::chmod(QFile::encodeName(cartella).constData(), 0500);
    QProcess p;
    p.start(comando[0], comando.mid(1));
    QVERIFY(p.waitForFinished(5000));
    ::chmod(QFile::encodeName(cartella).constData(), 0700);
    const QString errori = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(errori.contains("impossibile scrivere lo stato"), qPrintable(errori));
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QVERIFY(!QFile::exists(altrove + "/chiavi"));
}

void TestRicevitoreChiavi::dimentica_data() {
    QTest::addColumn<QStringList>("prima"); // --abbina N, one run each
    QTest::addColumn<int>("pulsiero");
    QTest::addColumn<int>("uscita");
    QTest::addColumn<QByteArray>("statoDopo");
    QTest::addColumn<QString>("chiaviDopo"); // the transmitters left in the keys file
    QTest::newRow("a paired transmitter")
        << QStringList{"7", "9"} << 7 << 0 << QByteArray("9 0 chiave") << "9";
    QTest::newRow("the last one") << QStringList{"7"} << 7 << 0 << QByteArray() << "";
    QTest::newRow("unknown") << QStringList{"7"} << 8 << 1 << QByteArray("7 0 chiave") << "7";
}

// --dimentica: a locked-out transmitter is forgotten without deleting the whole state.
void TestRicevitoreChiavi::dimentica() {
    QFETCH(QStringList, prima);
    QFETCH(int, pulsiero);
    QFETCH(int, uscita);
    QFETCH(QByteArray, statoDopo);
    QFETCH(QString, chiaviDopo);
    QTemporaryDir dir;
    const QString stato = dir.filePath("stato");
    for (const QString& n : prima)
        QCOMPARE(QProcess::execute(RICEVITORE, {"--abbina", n, "--stato", stato}), 0);
    QProcess p;
    p.start(RICEVITORE, {"--dimentica", QString::number(pulsiero), "--stato", stato});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), uscita);
    const auto righe = leggiFile(stato).split('\n');
    QCOMPARE(righe.mid(1, righe.size() - 3).join('\n'), statoDopo);
    QStringList chiavi;
    for (const auto& riga : leggiFile(dir.filePath("chiavi")).split('\n'))
        if (!riga.isEmpty())
            chiavi << QString::fromLatin1(riga.split(' ').first());
    QCOMPARE(chiavi.join(','), chiaviDopo);
}

// The attacker in the same IPv6 /64 (every host of an ordinary LAN), in a network namespace of
// its own: fd00::3 sends wrong MACs and plain junk, fd00::1 presses. Run again by the test
// itself inside `unshare --net`; skipped where namespaces are not allowed.
void TestRicevitoreChiavi::stessoPrefissoIpv6() {
    if (qgetenv("PULSIERO_NELLO_SPAZIO") != "1") {
        QProcess p;
        auto ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("PULSIERO_NELLO_SPAZIO", "1");
        p.setProcessEnvironment(ambiente);
        p.start("unshare",
                {"--net", "--", QCoreApplication::applicationFilePath(), "stessoPrefissoIpv6"});
        QVERIFY(p.waitForFinished(60000));
        const QString uscita = QString::fromUtf8(p.readAll());
        if (p.exitCode() != 0 && uscita.contains("unshare"))
            QSKIP(qPrintable("network namespaces not allowed here: " + uscita.trimmed()));
        QVERIFY2(p.exitCode() == 0, qPrintable(uscita));
        QVERIFY2(!uscita.contains("SKIP"), qPrintable(uscita));
        return;
    }
    QCOMPARE(QProcess::execute("sh", {"-c", "ip link set lo up && ip addr add fd00::1/64 dev lo "
                                            "nodad && ip addr add fd00::3/64 dev lo nodad"}),
             0);
    QTemporaryDir dir;
    scriviFile(dir.filePath("stato"),
               "pulsiero-ricevitore stato 2\n7 197108\ncontrollo 83598DC8\n");
    scriviFile(dir.filePath("chiavi"), "7 " + kChiaveB.toLatin1() + "\n");
    const auto ini = impostazioni(dir, kChiaveB, 3, 500);
    auto o = opzioni(dir);
    o.indirizzi = {"fd00::1"};
    o.tentativi = 3;
    Ricevitore r(std::move(o));
    const auto da = [&](const char* sorgente, const std::string& dati) {
        const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        inet_pton(AF_INET6, sorgente, &a.sin6_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        inet_pton(AF_INET6, "fd00::1", &a.sin6_addr);
        a.sin6_port = htons(r.porta());
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        (void)!::write(fd, dati.data(), dati.size());
        ::close(fd);
    };
    const std::string trama = *frame::build({12345, 7, 2, adesso().minutoDelGiorno, 3, 501});
    const auto falsa = *autenticazione::tramaAutenticata(
        trama, 3, *autenticazione::leggiChiave(kChiaveAltra.toStdString()));
    const auto accettate = [&] {
        const auto esiti = r.esiti();
        return std::count_if(esiti.begin(), esiti.end(),
                             [](const ricevitore::Esito& e) { return e.accettato; });
    };
    for (int i = 0; i < 12; ++i) {
        for (int f = 0; f < 3; ++f)
            da("fd00::3", f ? falsa : trama);
        da("fd00::1", premi(ini));
        (void)QTest::qWaitFor([&] { return accettate() > i; }, 2000);
    }
    QCOMPARE(accettate(), 12);
}

// The pipe through which the state's writer wakes the loop: without it the receiver refuses to
// start. Descriptors are used up so that the state opens (three at most, two kept) and the pipe,
// which needs two more, cannot.
void TestRicevitoreChiavi::senzaPipeNonParte() {
    QTemporaryDir dir;
    auto o = opzioni(dir);
    o.fileChiavi.clear();
    rlimit prima{};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &prima) == 0);
    rlimit basso = prima;
    basso.rlim_cur = std::min<rlim_t>(prima.rlim_cur, 512);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &basso) == 0);
    std::vector<int> occupati;
    for (int fd; occupati.size() < 512 && (fd = ::dup(0)) >= 0;)
        occupati.push_back(fd);
    for (int i = 0; i < 3; ++i) {
        ::close(occupati.back());
        occupati.pop_back();
    }
    std::optional<std::string> problema;
    {
        ricevitore::Server server(o);
        problema = server.apri();
    }
    for (int fd : occupati)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &prima);
    QCOMPARE(QString::fromStdString(problema.value_or("started")),
             QStringLiteral("impossibile creare la pipe interna: Too many open files"));
}

QTEST_GUILESS_MAIN(TestRicevitoreChiavi)
#include "tst_ricevitore_chiavi.moc"
