#include "core/Autenticazione.h"
#include "core/CreaComando.h"
#include "core/IniFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace pulsiero;
namespace auth = pulsiero::autenticazione;

namespace {
const std::string kChiaveA = "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F";
const std::string kChiaveB = "F0E1D2C3B4A5968778695A4B3C2D1E0F00112233445566778899AABBCCDDEEFF";

auth::Chiave chiaveDa(const std::string& esadecimale) {
    return auth::leggiChiave(esadecimale).value();
}

unsigned modo(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
} // namespace

// Keyed frames: their exact bytes, their MAC's verdict, the key and keys-file texts, and a keyed
// transmitter's press on a real settings file.
class TestAutenticazione : public QObject {
    Q_OBJECT
private slots:
    void tramaConosciuta_data();
    void tramaConosciuta();
    void limitiDellaTrama();
    void ogniByteCambiatoRifiutato();
    void chiave_data();
    void chiave();
    void rigaChiavi_data();
    void rigaChiavi();
    void chiaveCasuale();
    void pressioneConChiave_data();
    void pressioneConChiave();
    void chiaveNonValida_data();
    void chiaveNonValida();
    void fileConChiaveSoloDelProprietario();
};

// Expected bytes computed apart, with Python's hashlib.blake2b(key=..., digest_size=16) over
// b"pulsiero-rolling-code/1\0" + frame + "-" + wrap count.
void TestAutenticazione::tramaConosciuta_data() {
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("trama");
    QTest::addColumn<int>("ciclo");
    QTest::addColumn<QByteArray>("filo");
    QTest::newRow("A ciclo 0") << QString::fromStdString(kChiaveA) << "FFFFE7E1F589AFFFFE8" << 0
                               << QByteArray(
                                      "FFFFE7E1F589AFFFFE8-00007A478D7338B598FB7FCF2181A3541046");
    QTest::newRow("A ciclo 1") << QString::fromStdString(kChiaveA) << "FFFFE7E1F589AFFFFE8" << 1
                               << QByteArray(
                                      "FFFFE7E1F589AFFFFE8-0001141DA2DA6E2ADDD94C3467A7A2D6D023");
    QTest::newRow("B ciclo 0") << QString::fromStdString(kChiaveB) << "FFFFE7E1F589AFFFFE8" << 0
                               << QByteArray(
                                      "FFFFE7E1F589AFFFFE8-0000E0216876286D76AE4791E61CE9E20589");
    QTest::newRow("B ciclo 65535")
        << QString::fromStdString(kChiaveB) << "FCFC6781D260FF00001" << 65535
        << QByteArray("FCFC6781D260FF00001-FFFF7546BB275C6E3088310971A333099848");
    QTest::newRow("15 caratteri") << QString(63, 'A') + "B"
                                  << "0FE7E1F589AFFFF" << 12345
                                  << QByteArray(
                                         "0FE7E1F589AFFFF-30398902A62002D76DFD745DD1B382B8DB14");
    QTest::newRow("64 byte")
        << QString::fromStdString(kChiaveA) << QString(27, 'F') << 2
        << QByteArray("FFFFFFFFFFFFFFFFFFFFFFFFFFF-00029B8D5B50D3EA189B5B70CD2403ECEBD5");
}

void TestAutenticazione::tramaConosciuta() {
    QFETCH(QString, chiave);
    QFETCH(QString, trama);
    QFETCH(int, ciclo);
    QFETCH(QByteArray, filo);
    const auto k = auth::leggiChiave(chiave.toStdString());
    QVERIFY(k);
    const auto costruita = auth::tramaAutenticata(trama.toStdString(), std::uint16_t(ciclo), *k);
    QVERIFY(costruita);
    QCOMPARE(QByteArray::fromStdString(*costruita), filo);

    const auto letta = auth::leggiTramaAutenticata(filo.toStdString(), *k);
    QVERIFY(letta);
    QCOMPARE(QString::fromStdString(letta->trama), trama);
    QCOMPARE(int(letta->ciclo), ciclo);
    QVERIFY(letta->autentica);
    QVERIFY(auth::haParteAutenticazione(filo.toStdString()));
    QVERIFY(!auth::haParteAutenticazione(trama.toStdString()));
    // The same bytes under another key: shaped right, MAC wrong.
    const auto altra =
        auth::leggiTramaAutenticata(filo.toStdString(), chiaveDa(std::string(63, '0') + "1"));
    QVERIFY(altra && !altra->autentica);
}

void TestAutenticazione::limitiDellaTrama() {
    const auto k = chiaveDa(kChiaveA);
    QVERIFY(auth::tramaAutenticata(std::string(27, 'F'), 0, k));
    QVERIFY(!auth::tramaAutenticata(std::string(28, 'F'), 0, k)); // 65 bytes on the wire
    QVERIFY(!auth::tramaAutenticata("", 0, k));
    QVERIFY(!auth::tramaAutenticata("FFFFe7E1F589AFFFFE8", 0, k));
    QVERIFY(!auth::leggiTramaAutenticata(std::string(28, 'F') + "-" + std::string(36, '0'), k));
    QVERIFY(!auth::leggiTramaAutenticata("-" + std::string(36, '0'), k));
    const std::string valida = "FFFFE7E1F589AFFFFE8-00007A478D7338B598FB7FCF2181A3541046";
    QVERIFY(!auth::leggiTramaAutenticata(valida.substr(0, valida.size() - 1), k));
    QVERIFY(!auth::leggiTramaAutenticata(valida + "0", k));
    std::string minuscola = valida;
    minuscola.back() = 'f'; // a lower-case MAC digit would be a second spelling: refused
    QVERIFY(!auth::leggiTramaAutenticata(minuscola, k));
    minuscola = "FCFC6781D260FF00001-FfFF7546BB275C6E3088310971A333099848"; // and in the wrap count
    QVERIFY(!auth::leggiTramaAutenticata(minuscola, chiaveDa(kChiaveB)));
}

void TestAutenticazione::ogniByteCambiatoRifiutato() {
    const auto k = chiaveDa(kChiaveB);
    const std::string valida = "FCFC6781D260FF00001-FFFF7546BB275C6E3088310971A333099848";
    QVERIFY(auth::leggiTramaAutenticata(valida, k)->autentica);
    for (std::size_t i = 0; i < valida.size(); ++i)
        for (int b = 0; b < 256; ++b) {
            if (char(b) == valida[i])
                continue;
            std::string cambiata = valida;
            cambiata[i] = char(b);
            const auto r = auth::leggiTramaAutenticata(cambiata, k);
            QVERIFY2(!r || !r->autentica,
                     qPrintable(QStringLiteral("byte %1 set to %2").arg(i).arg(b)));
        }
}

void TestAutenticazione::chiave_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("valida");
    QTest::newRow("64 maiuscole") << QString::fromStdString(kChiaveA) << true;
    QTest::newRow("64 minuscole") << QString::fromStdString(kChiaveB).toLower() << true;
    QTest::newRow("63 cifre") << QString(63, 'A') << false;
    QTest::newRow("65 cifre") << QString(65, 'A') << false;
    QTest::newRow("una G") << QString(63, 'A') + "G" << false;
    QTest::newRow("spazio dentro") << QString(31, 'A') + " " + QString(32, 'A') << false;
    QTest::newRow("prefisso 0x") << "0x" + QString(62, 'A') << false;
    QTest::newRow("vuota") << QString() << false;
}

void TestAutenticazione::chiave() {
    QFETCH(QString, testo);
    QFETCH(bool, valida);
    const auto k = auth::leggiChiave(testo.toStdString());
    QCOMPARE(bool(k), valida);
    if (k)
        QCOMPARE(QString::fromStdString(auth::scriviChiave(*k)), testo.toUpper());
}

void TestAutenticazione::rigaChiavi_data() {
    QTest::addColumn<QString>("riga");
    QTest::addColumn<int>("trasmettitore"); // -1: refused
    const QString a = QString::fromStdString(kChiaveA);
    QTest::newRow("7") << "7 " + a << 7;
    QTest::newRow("0") << "0 " + a << 0;
    QTest::newRow("massimo") << "2147483647 " + a << 2147483647;
    QTest::newRow("oltre il massimo") << "2147483648 " + a << -1;
    QTest::newRow("CRLF e spazi") << "  12345 " + a + "\r" << 12345;
    QTest::newRow("zero iniziale") << "07 " + a << -1;
    QTest::newRow("segno") << "-7 " + a << -1;
    QTest::newRow("due spazi") << "7  " + a << -1;
    QTest::newRow("tabulazione") << "7\t" + a << -1;
    QTest::newRow("chiave corta") << "7 " + a.left(62) << -1;
    QTest::newRow("senza chiave") << "7" << -1;
}

void TestAutenticazione::rigaChiavi() {
    QFETCH(QString, riga);
    QFETCH(int, trasmettitore);
    const auto r = auth::leggiRigaChiavi(riga.toStdString());
    QCOMPARE(r ? r->trasmettitore : -1, trasmettitore);
    if (r)
        QCOMPARE(auth::scriviRigaChiavi(r->trasmettitore, r->chiave),
                 std::to_string(trasmettitore) + " " + kChiaveA);
}

void TestAutenticazione::chiaveCasuale() {
    const auto a = auth::chiaveCasuale();
    const auto b = auth::chiaveCasuale();
    QVERIFY(a && b);
    QVERIFY(*a != *b);
    QCOMPARE(auth::leggiChiave(auth::scriviChiave(*a)), a);
}

// Receiver 12345, transmitter 7, key index 2 at 23:59, random 0, under key B.
void TestAutenticazione::pressioneConChiave_data() {
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QByteArray>("filo"); // empty: nothing may be sent
    QTest::addColumn<QByteArray>("passoDopo");
    QTest::addColumn<QByteArray>("cicloDopo");
    QTest::newRow("giro: 65535 -> 1, ciclo 2 -> 3")
        << QByteArray("Passo=65535\nCiclo=2\n")
        << QByteArray("FCFC6781D260FFFFFE3-0003C13210FFE6509B6A8F29C013054D336C") << QByteArray("1")
        << QByteArray("3");
    QTest::newRow("65534 -> 65535, ciclo fermo")
        << QByteArray("Passo=65534\nCiclo=2\n")
        << QByteArray("FCFC6781D260FF00001-0002AC414DCCE889937540A38F8C16980665")
        << QByteArray("65535") << QByteArray("2");
    QTest::newRow("nessun passo, nessun ciclo")
        << QByteArray("") << QByteArray("FCFC6781D260FFFFFE3-000085BF93762EDCCA6E454593679F91553F")
        << QByteArray("1") << QByteArray("0");
    QTest::newRow("contatore esaurito") << QByteArray("Passo=65535\nCiclo=65535\n") << QByteArray()
                                        << QByteArray("65535") << QByteArray("65535");
    QTest::newRow("ciclo oltre 65535") << QByteArray("Passo=3\nCiclo=65536\n") << QByteArray()
                                       << QByteArray("3") << QByteArray("65536");
    QTest::newRow("ciclo oltre 32 bit") // 4294967298 would wrap to 2
        << QByteArray("Passo=3\nCiclo=4294967298\n") << QByteArray() << QByteArray("3")
        << QByteArray("4294967298");
    QTest::newRow("ciclo non numerico")
        << QByteArray("Passo=3\nCiclo=2x\n") << QByteArray() << QByteArray("3") << QByteArray("2x");
    QTest::newRow("ciclo 65535 senza giro")
        << QByteArray("Passo=3\nCiclo=65535\n")
        << QByteArray("FCFC6781D260FFFFFB6-FFFF264C75576C839F03477B84D8ABE4EA6C") << QByteArray("4")
        << QByteArray("65535");
    QTest::newRow("passo 0 mai firmato")
        << QByteArray("Passo=-1\nCiclo=2\n") << QByteArray() << QByteArray("-1") << QByteArray("2");
}

void TestAutenticazione::pressioneConChiave() {
    QFETCH(QByteArray, prima);
    QFETCH(QByteArray, filo);
    QFETCH(QByteArray, passoDopo);
    QFETCH(QByteArray, cicloDopo);
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ScriviIni("Pulsiero", "Chiave", kChiaveB, path));
    const std::string righe = prima.toStdString();
    for (std::size_t inizio = 0; inizio < righe.size();) {
        const auto uguale = righe.find('=', inizio), fine = righe.find('\n', inizio);
        QVERIFY(ScriviIni("Pulsiero", righe.substr(inizio, uguale - inizio),
                          righe.substr(uguale + 1, fine - uguale - 1), path));
        inizio = fine + 1;
    }
    Impostazioni imp;
    imp.NumeroRicevitore = 12345;
    imp.NumeroTrasmettitore = 7;

    const auto comando = CreaComando(2, imp, path, Momento{1439, 0});
    QCOMPARE(QByteArray::fromStdString(comando.value_or("")), filo);
    QCOMPARE(QByteArray::fromStdString(LeggiIni("Pulsiero", "Passo", "<none>", path)), passoDopo);
    QCOMPARE(QByteArray::fromStdString(LeggiIni("Pulsiero", "Ciclo", "<none>", path)), cicloDopo);
}

void TestAutenticazione::chiaveNonValida_data() {
    QTest::addColumn<QString>("chiave");
    QTest::newRow("63 cifre") << QString(63, 'A');
    QTest::newRow("65 cifre") << QString(65, 'A');
    QTest::newRow("una Z") << QString(63, 'A') + "Z";
}

void TestAutenticazione::chiaveNonValida() {
    QFETCH(QString, chiave);
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ScriviIni({{"Pulsiero", "Passo", "41"}, {"Pulsiero", "Chiave", chiave.toStdString()}},
                      path));
    const auto esito = PreparaComando(0, Impostazioni{}, path, Momento{630, 5});
    QVERIFY(std::holds_alternative<ErroreComando>(esito));
    QCOMPARE(std::get<ErroreComando>(esito), ErroreComando::Chiave);
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path), std::string("41"));
    QCOMPARE(LeggiIni("Pulsiero", "Ciclo", "<none>", path), std::string("<none>"));
}

void TestAutenticazione::fileConChiaveSoloDelProprietario() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    QVERIFY(ScriviIni("Pulsiero", "Passo", "41", path));
    QVERIFY(::chmod(path.c_str(), 0644) == 0);
    QVERIFY(CreaComando(0, Impostazioni{}, path, Momento{630, 5}));
    QCOMPARE(modo(path), 0644u); // no key: the file keeps its own mode

    QVERIFY(ScriviIni("Pulsiero", "Chiave", kChiaveA, path));
    QCOMPARE(modo(path), 0600u);
    QVERIFY(::chmod(path.c_str(), 0664) == 0); // widened afterwards, by hand
    QVERIFY(CreaComando(0, Impostazioni{}, path, Momento{630, 5}));
    QCOMPARE(modo(path), 0600u);
}

QTEST_GUILESS_MAIN(TestAutenticazione)
#include "tst_autenticazione.moc"
