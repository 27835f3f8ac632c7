#include "Aiuti.h"
#include "UtenteComune.h"

#include "qt/finestre/Messaggi.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/PercorsoImpostazioni.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace pulsiero;

// Reloading the settings, its confirmation, and where the settings file lives.
class TestConfigurazione : public QObject {
    Q_OBJECT
private slots:
    void caricaSenzaAvviso();
    void inizializzaComunicazioneConferma();
    void fileIlleggibile_data();
    void fileIlleggibile();
    void percorso_data();
    void percorso();
    void semeConChiave();

private:
    // As root every file is writable: the test runs as nobody, in a copy of this program.
    bool comeUtenteComune();
};

bool TestConfigurazione::comeUtenteComune() {
    if (!utente::daRoot())
        return false;
    QTemporaryDir programmi;
    utente::apriATutti(programmi.path());
    QProcess figlio;
    auto ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("HOME", programmi.path());
    ambiente.remove("XDG_RUNTIME_DIR");
    figlio.setProcessEnvironment(ambiente);
    QString funzione = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        funzione += QLatin1Char(':') + QString::fromUtf8(QTest::currentDataTag());
    utente::avvia(figlio, QCoreApplication::applicationFilePath(), {funzione}, programmi.path());
    [&] {
        QVERIFY(figlio.waitForFinished(20000));
        QVERIFY2(figlio.exitCode() == 0, figlio.readAllStandardOutput().constData());
    }();
    return true;
}

void TestConfigurazione::caricaSenzaAvviso() {
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    aiuti::scriviFile(path, "[Pulsiero]\nnome=Garage\nt1=Apri\n");
    Messaggi messaggi;
    Configurazione configurazione(path);
    QObject::connect(&configurazione, &Configurazione::messaggio, &messaggi, &Messaggi::mostra);
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
    Configurazione configurazione(dir.filePath("pulsiero.ini"));
    QObject::connect(&configurazione, &Configurazione::messaggio, &messaggi, &Messaggi::mostra);
    configurazione.CaricaConfigurazione(true);
    QVERIFY(aiuti::chiudiMessaggio(QStringLiteral("Comunicazione TCI/IP"),
                                   QStringLiteral("La comunicazione TCP/IP è stata inizializzata."),
                                   QMessageBox::Information));
    QCOMPARE(configurazione.impostazioni().PortaIP, std::string("100"));
    QVERIFY(!QFile::exists(dir.filePath("pulsiero.ini")));
}

// A settings file that is there but cannot be read is named with its cause, once while the
// cause stays the same; the defaults stand meanwhile.
void TestConfigurazione::fileIlleggibile_data() {
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("causa");
    QTest::newRow("cartella") << "cartella" << "non è un file regolare";
    QTest::newRow("fifo") << "fifo" << "non è un file regolare";
    QTest::newRow("troppo grande") << "grande" << "file troppo grande (più di 1048576 byte)";
}

void TestConfigurazione::fileIlleggibile() {
    QFETCH(QString, tipo);
    QFETCH(QString, causa);
    QTemporaryDir dir;
    const QString path = dir.filePath("pulsiero.ini");
    if (tipo == "cartella")
        QVERIFY(QDir().mkdir(path));
    else if (tipo == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        aiuti::scriviFile(path, "[Server]\nPorta=2000\n;" + QByteArray(1024 * 1024, 'x'));
    Messaggi messaggi;
    Configurazione configurazione(path);
    QObject::connect(&configurazione, &Configurazione::messaggio, &messaggi, &Messaggi::mostra);
    configurazione.CaricaConfigurazione(false);
    QVERIFY(aiuti::chiudiMessaggio(
        QStringLiteral("File di configurazione"),
        QStringLiteral("Attenzione: non è stato possibile leggere il file di configurazione (%1: "
                       "%2). Valgono le impostazioni predefinite.")
            .arg(path, causa),
        QMessageBox::Warning));
    QCOMPARE(configurazione.impostazioni().PortaIP, std::string("100"));
    configurazione.CaricaConfigurazione(false);
    QTest::qWait(20);
    QVERIFY(!aiuti::messaggioAperto());
}

// Which settings file is used, for an executable in bin/ of a temporary folder and the user's
// folder config/pulsiero. A file beside the executable is used when this user may replace it;
// otherwise the user's own file, which starts as a copy of one the user can only read.
void TestConfigurazione::percorso_data() {
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QString>("beside");   // file beside the executable, or empty for none
    QTest::addColumn<int>("besideMode");   // its permissions
    QTest::addColumn<int>("folderMode");   // permissions of bin/
    QTest::addColumn<bool>("userFile");    // the user's file exists already
    QTest::addColumn<QString>("expected"); // the path, relative to the temporary folder
    QTest::addColumn<QByteArray>("user");  // the user's file afterwards, "<none>" when missing

    const QByteArray none = "<none>";
    QTest::newRow("beside, writable")
        << "pulsiero"
        << "pulsiero.ini" << 0644 << 0755 << false << "bin/pulsiero.ini" << none;
    QTest::newRow("extension dropped")
        << "Pulsiero.exe"
        << "Pulsiero.ini" << 0644 << 0755 << false << "bin/Pulsiero.ini" << none;
    QTest::newRow("last extension only")
        << "pulsiero.v2.exe"
        << "pulsiero.v2.ini" << 0644 << 0755 << false << "bin/pulsiero.v2.ini" << none;
    QTest::newRow("beside wins over the user's")
        << "pulsiero"
        << "pulsiero.ini" << 0644 << 0755 << true << "bin/pulsiero.ini"
        << QByteArray("[Server]\nPorta=3000\n");
    QTest::newRow("nothing beside, writable folder")
        << "pulsiero"
        << "" << 0 << 0755 << false << "config/pulsiero/pulsiero.ini" << none;
    QTest::newRow("folder of that name beside")
        << "pulsiero"
        << "pulsiero.ini/" << 0 << 0755 << false << "config/pulsiero/pulsiero.ini" << none;
    QTest::newRow("other name beside")
        << "pulsiero"
        << "pulsiero.exe.ini" << 0644 << 0755 << false << "config/pulsiero/pulsiero.ini" << none;
    QTest::newRow("read-only file: seeds the user's")
        << "pulsiero"
        << "pulsiero.ini" << 0444 << 0755 << false << "config/pulsiero/pulsiero.ini"
        << QByteArray("[Server]\r\nPorta=2000\r\n");
    QTest::newRow("read-only folder: seeds the user's")
        << "pulsiero"
        << "pulsiero.ini" << 0644 << 0555 << false << "config/pulsiero/pulsiero.ini"
        << QByteArray("[Server]\r\nPorta=2000\r\n");
    QTest::newRow("read-only file, user's already there")
        << "pulsiero"
        << "pulsiero.ini" << 0444 << 0755 << true << "config/pulsiero/pulsiero.ini"
        << QByteArray("[Server]\nPorta=3000\n");
    QTest::newRow("unreadable file: no seed")
        << "pulsiero"
        << "pulsiero.ini" << 0200 << 0555 << false << "config/pulsiero/pulsiero.ini" << none;
}

void TestConfigurazione::percorso() {
    if (comeUtenteComune())
        return;
    QFETCH(QString, exe);
    QFETCH(QString, beside);
    QFETCH(int, besideMode);
    QFETCH(int, folderMode);
    QFETCH(bool, userFile);
    QFETCH(QString, expected);
    QFETCH(QByteArray, user);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    const QByteArray besideBytes = "[Server]\r\nPorta=2000\r\n";
    if (beside.endsWith('/')) {
        QVERIFY(QDir(dir.path()).mkpath("bin/" + beside));
    } else if (!beside.isEmpty()) {
        aiuti::scriviFile(dir.filePath("bin/" + beside), besideBytes);
        ::chmod(QFile::encodeName(dir.filePath("bin/" + beside)).constData(), besideMode);
    }
    const QString userPath = dir.filePath("config/pulsiero/pulsiero.ini");
    if (userFile) {
        QVERIFY(QDir(dir.path()).mkpath("config/pulsiero"));
        aiuti::scriviFile(userPath, "[Server]\nPorta=3000\n");
    }
    const QByteArray bin = QFile::encodeName(dir.filePath("bin"));
    ::chmod(bin.constData(), folderMode);
    const QString chosen =
        percorsoImpostazioni(dir.filePath("bin/" + exe), dir.filePath("config/pulsiero"));
    ::chmod(bin.constData(), 0755);

    QCOMPARE(chosen, dir.filePath(expected));
    QCOMPARE(QFile::exists(userPath) ? aiuti::leggiFile(userPath) : QByteArray("<none>"), user);
    if (QFile::exists(userPath)) // a copy of a read-only file is still the user's to save
        QVERIFY(QFileInfo(userPath).isWritable());
    QVERIFY(QFileInfo(dir.filePath("config/pulsiero")).isDir() || chosen.contains("/bin/"));
    if (besideMode & 0400) // the file beside the executable is never changed
        QCOMPARE(aiuti::leggiFile(dir.filePath("bin/" + beside)), besideBytes);
}

// A seed that holds a key is copied readable by its user only, from its first byte, into a
// folder of that user's only.
void TestConfigurazione::semeConChiave() {
    if (comeUtenteComune())
        return;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    const QByteArray seme = "[Pulsiero]\nChiave=" + QByteArray(64, '7') + "\n";
    aiuti::scriviFile(dir.filePath("bin/pulsiero.ini"), seme);
    ::chmod(QFile::encodeName(dir.filePath("bin/pulsiero.ini")).constData(), 0444);
    const mode_t maschera = umask(022);
    const QString scelto =
        percorsoImpostazioni(dir.filePath("bin/pulsiero"), dir.filePath("config/pulsiero"));
    umask(maschera);
    QCOMPARE(scelto, dir.filePath("config/pulsiero/pulsiero.ini"));
    QCOMPARE(aiuti::leggiFile(scelto), seme);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(scelto).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0600});
    QCOMPARE(::stat(QFile::encodeName(dir.filePath("config/pulsiero")).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0700});
}

QTEST_MAIN(TestConfigurazione)
#include "tst_configurazione.moc"
