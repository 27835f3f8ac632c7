#include "core/Impostazioni.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using pulsiero::Impostazioni;

// Loading every setting from the file, with its defaults and lenient numbers.
class TestImpostazioni : public QObject {
    Q_OBJECT
private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void senzaFile();
    void valori();
    void numeri_data();
    void numeri();
    void numeroFuoriDa32BitLasciaIlPrecedente();

private:
    std::string write(const QByteArray& bytes) {
        const QString path = dir_->filePath("pulsiero.ini");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path.toStdString();
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestImpostazioni::senzaFile() {
    const std::string path = dir_->filePath("pulsiero.ini").toStdString();
    Impostazioni imp;
    const auto testi = imp.carica(path);
    QCOMPARE(imp.IndirizzoIP, std::string("127.0.0.1"));
    QCOMPARE(imp.PortaIP, std::string("100"));
    QCOMPARE(imp.FileSuono, std::string());
    QCOMPARE(imp.NumeroRicevitore, 1);
    QCOMPARE(imp.NumeroTrasmettitore, 1);
    QCOMPARE(testi.nome, std::string());
    QCOMPARE(testi.tasti[3], std::string());
    QVERIFY(!QFile::exists(QString::fromStdString(path)));
}

void TestImpostazioni::valori() {
    Impostazioni imp;
    const auto testi = imp.carica(write("[Server]\nIndirizzo = ricevitore.lan \nPorta= 2000\n"
                                        "[Pulsiero]\nnome=  Cancello \nSuono=beep.wav\n"
                                        "ID_Dis=12345\nID_Pul=7\nt2=Apri\nt3=\nt4=Chiudi\n"));
    QCOMPARE(imp.IndirizzoIP, std::string("ricevitore.lan"));
    QCOMPARE(imp.PortaIP, std::string("2000"));
    QCOMPARE(imp.FileSuono, std::string("beep.wav"));
    QCOMPARE(imp.NumeroRicevitore, 12345);
    QCOMPARE(imp.NumeroTrasmettitore, 7);
    QCOMPARE(testi.nome, std::string("Cancello"));
    const std::array<std::string, 4> tasti{"", "Apri", "", "Chiudi"};
    QCOMPARE(testi.tasti, tasti);
}

void TestImpostazioni::numeri_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("transmitter");
    QTest::newRow("empty is 0, not the default") << QByteArray("ID_Pul=") << 0;
    QTest::newRow("leading numeric part") << QByteArray("ID_Pul= 12abc") << 12;
    QTest::newRow("2.5 to even") << QByteArray("ID_Pul=2.5") << 2;
    QTest::newRow("3.5 to even") << QByteArray("ID_Pul=3.5") << 4;
    QTest::newRow("missing is the default") << QByteArray("altro=5") << 1;
}

void TestImpostazioni::numeri() {
    QFETCH(QByteArray, line);
    QFETCH(int, transmitter);
    Impostazioni imp;
    imp.carica(write("[Pulsiero]\n" + line + "\n"));
    QCOMPARE(imp.NumeroTrasmettitore, transmitter);
}

void TestImpostazioni::numeroFuoriDa32BitLasciaIlPrecedente() {
    Impostazioni imp;
    imp.carica(write("[Pulsiero]\nID_Dis=77\n"));
    imp.carica(write("[Pulsiero]\nID_Dis=99999999999\nID_Pul=1e99\n"));
    QCOMPARE(imp.NumeroRicevitore, 77);
    QCOMPARE(imp.NumeroTrasmettitore, 1);
}

QTEST_GUILESS_MAIN(TestImpostazioni)
#include "tst_impostazioni.moc"
