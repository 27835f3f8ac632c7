// The rows that the Windows build's tests check too (TabelleCondivise.h): the Linux build makes
// the same frames and settings files byte for byte.
#include "tests/TabelleCondivise.h"

#include "core/Autenticazione.h"
#include "core/CreaComando.h"
#include "core/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pulsiero;

namespace {

QByteArray byte(std::string_view testo) {
    return QByteArray(testo.data(), static_cast<qsizetype>(testo.size()));
}

void scrivi(const QString& percorso, std::string_view testo) {
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(byte(testo));
}

QByteArray contenuto(const QString& percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<mancante>");
}

} // namespace

class TestCondivise : public QObject {
    Q_OBJECT
private slots:
    void frame();
    void contatore();
    void scrittura();
    void lettura();
    void autenticata();

private:
    QTemporaryDir cartella_;
    QString ini() const { return cartella_.filePath(QStringLiteral("pulsiero.ini")); }
};

void TestCondivise::frame() {
    for (const auto& riga : condivise::kFrame)
        QCOMPARE(byte(frame::build(riga.campi).value_or("")), byte(riga.frame));
}

void TestCondivise::contatore() {
    for (const auto& riga : condivise::kContatore) {
        QFile::remove(ini());
        if (!riga.prima.empty())
            scrivi(ini(), riga.prima);
        Impostazioni impostazioni;
        impostazioni.NumeroRicevitore = 12345;
        impostazioni.NumeroTrasmettitore = 7;
        const auto comando = CreaComando(2, impostazioni, ini().toStdString(), Momento{1439, 0});
        QVERIFY2(byte(comando.value_or("")) == byte(riga.frame), riga.nome.data());
        QVERIFY2(contenuto(ini()) == byte(riga.dopo), riga.nome.data());
    }
}

void TestCondivise::scrittura() {
    for (const auto& riga : condivise::kScrittura) {
        QFile::remove(ini());
        if (!riga.prima.empty())
            scrivi(ini(), riga.prima);
        QVERIFY2(ScriviIni(riga.sezione, riga.chiave, riga.valore, ini().toStdString()),
                 riga.nome.data());
        QVERIFY2(contenuto(ini()) == byte(riga.dopo), riga.nome.data());
    }
}

void TestCondivise::lettura() {
    for (const auto& riga : condivise::kLettura) {
        scrivi(ini(), riga.file);
        const auto valore =
            LeggiIni(riga.sezione, riga.chiave, riga.predefinito, ini().toStdString());
        QVERIFY2(byte(valore) == byte(riga.valore), riga.nome.data());
    }
}

void TestCondivise::autenticata() {
    for (const auto& riga : condivise::kAutenticata) {
        const auto chiave = autenticazione::leggiChiave(riga.chiave);
        QVERIFY(chiave);
        const auto trama = autenticazione::tramaAutenticata(riga.trama, riga.ciclo, *chiave);
        QVERIFY2(byte(trama.value_or("")) == byte(riga.autenticata), riga.nome.data());
    }
}

QTEST_GUILESS_MAIN(TestCondivise)
#include "tst_condivise.moc"
