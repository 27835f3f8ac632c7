#include "Aiuti.h"

#include "settings/Configurazione.h"
#include "settings/PercorsoImpostazioni.h"
#include "ui/Messaggi.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace pulsiero;

// Reloading the settings, its confirmation, and where the settings file lives.
class TestConfigurazione : public QObject {
    Q_OBJECT
private slots:
    void caricaSenzaAvviso();
    void inizializzaComunicazioneConferma();
    void percorsoAccantoAllEseguibile();
    void percorsoUtenteSeLaCartellaNonEScrivibile();
};

void TestConfigurazione::caricaSenzaAvviso() {
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    aiuti::scriviFile(path, "[Pulsiero]\nnome=Garage\nt1=Apri\n");
    Messaggi messaggi;
    Configurazione configurazione(path, messaggi);
    QSignalSpy caricata(&configurazione, &Configurazione::caricata);
    configurazione.CaricaConfigurazione(false);
    QCOMPARE(caricata.size(), 1);
    const auto testi = caricata.at(0).at(0).value<Impostazioni::TestiPulsiero>();
    QCOMPARE(testi.nome, std::string("Garage"));
    QCOMPARE(testi.tasti[0], std::string("Apri"));
    QTest::qWait(20);
    QVERIFY(!aiuti::messaggioAperto());
}

void TestConfigurazione::inizializzaComunicazioneConferma() {
    QTemporaryDir dir;
    Messaggi messaggi;
    Configurazione configurazione(dir.filePath("pulsiero.ini"), messaggi);
    configurazione.CaricaConfigurazione(true);
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Comunicazione TCI/IP"),
                                   QStringLiteral("La comunicazione TCP/IP è stata inizializzata."),
                                   QMessageBox::Information));
    QCOMPARE(configurazione.impostazioni().PortaIP, std::string("100"));
    QVERIFY(!QFile::exists(dir.filePath("pulsiero.ini")));
}

void TestConfigurazione::percorsoAccantoAllEseguibile() {
    QTemporaryDir dir;
    QCOMPARE(percorsoImpostazioni(dir.filePath("telecomando"), dir.filePath("config")),
             dir.filePath("telecomando.ini"));
}

void TestConfigurazione::percorsoUtenteSeLaCartellaNonEScrivibile() {
    QTemporaryDir dir;
    QCOMPARE(percorsoImpostazioni(QStringLiteral("/nonexistent/bin/pulsiero"),
                                  dir.filePath("config/pulsiero")),
             dir.filePath("config/pulsiero/pulsiero.ini"));
    QVERIFY(QFileInfo(dir.filePath("config/pulsiero")).isDir());
    // An installed program keeps its settings with the user even where root could write.
    QCOMPARE(percorsoImpostazioni(QStringLiteral("/usr/bin/pulsiero"), dir.filePath("cfg")),
             dir.filePath("cfg/pulsiero.ini"));
}

QTEST_MAIN(TestConfigurazione)
#include "tst_configurazione.moc"
