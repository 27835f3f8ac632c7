#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pulsiero;

// LeggiIni and ScriviIni against real files: creation, atomic replacement, failures.
class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void letturaNonCreaIlFile();
    void scritturaCreaIlFile();
    void scritturaConservaIlResto();
    void stessoValoreNonRiscriveIlFile();
    void scritturaFallitaLasciaIlFile();
    void limiteDimensioneAMetaScrittura();
    void permessiConservati();
    void collegamentoSimbolicoSeguito();
    void cartellaNonScrivibile();

private:
    std::string path(const char* name = "pulsiero.ini") const {
        return dir_->filePath(QString::fromLatin1(name)).toStdString();
    }
    QByteArray content(const std::string& p) const {
        QFile f(QString::fromStdString(p));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void write(const std::string& p, const QByteArray& bytes) {
        QFile f(QString::fromStdString(p));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QStringList leftovers() const {
        auto names = QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral(".pulsiero.ini.lock"));
        return names;
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestIniFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
}

void TestIniFile::letturaNonCreaIlFile() {
    QCOMPARE(LeggiIni("Server", "Porta", "100", path()), std::string("100"));
    QVERIFY(!QFile::exists(QString::fromStdString(path())));
}

void TestIniFile::scritturaCreaIlFile() {
    QVERIFY(ScriviIni("Pulsiero", "Passo", "1", path()));
    QCOMPARE(content(path()), QByteArray("[Pulsiero]\nPasso=1\n"));
    QCOMPARE(LeggiIni("pulsiero", "passo", "0", path()), std::string("1"));
    QCOMPARE(leftovers(), QStringList{"pulsiero.ini"});
}

void TestIniFile::scritturaConservaIlResto() {
    const QByteArray before = "; settings\r\n[Server]\r\nIndirizzo=10.0.0.2\r\n"
                              "Altro=x\r\n[Pulsiero]\r\nPasso=41\r\n";
    write(path(), before);
    QVERIFY(ScriviIni("Pulsiero", "Passo", "42", path()));
    QByteArray expected = before;
    expected.replace("Passo=41", "Passo=42");
    QCOMPARE(content(path()), expected);
}

void TestIniFile::stessoValoreNonRiscriveIlFile() {
    write(path(), "[S]\nk=v\n");
    struct stat before {};
    QCOMPARE(::stat(path().c_str(), &before), 0);
    QVERIFY(ScriviIni("S", "k", "v", path()));
    struct stat after {};
    QCOMPARE(::stat(path().c_str(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino); // a rewrite would have renamed a new file over it
}

void TestIniFile::scritturaFallitaLasciaIlFile() {
    const std::string missingFolder = dir_->filePath("nowhere/pulsiero.ini").toStdString();
    QVERIFY(!ScriviIni("S", "k", "v", missingFolder));
    const std::string notAFolder = path("file") + "/pulsiero.ini";
    write(path("file"), "x");
    QVERIFY(!ScriviIni("S", "k", "v", notAFolder));
}

void TestIniFile::limiteDimensioneAMetaScrittura() {
    const QByteArray before = "[S]\nk=" + QByteArray(4000, 'a') + "\n";
    write(path(), before);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 2048;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = ScriviIni("S", "k", std::string(4000, 'b'), path());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QCOMPARE(content(path()), before);
    QCOMPARE(leftovers(), QStringList{"pulsiero.ini"});
}

void TestIniFile::permessiConservati() {
    write(path(), "[S]\nk=1\n");
    QCOMPARE(::chmod(path().c_str(), 0640), 0);
    QVERIFY(ScriviIni("S", "k", "2", path()));
    struct stat st {};
    QCOMPARE(::stat(path().c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0640});
}

void TestIniFile::collegamentoSimbolicoSeguito() {
    write(path("real.ini"), "[S]\nk=1\n");
    QCOMPARE(::symlink(path("real.ini").c_str(), path().c_str()), 0);
    QVERIFY(ScriviIni("S", "k", "2", path()));
    struct stat st {};
    QCOMPARE(::lstat(path().c_str(), &st), 0);
    QVERIFY(S_ISLNK(st.st_mode));
    QCOMPARE(content(path("real.ini")), QByteArray("[S]\nk=2\n"));
}

void TestIniFile::cartellaNonScrivibile() {
    if (geteuid() == 0)
        QSKIP("root writes to any folder");
    write(path(), "[S]\nk=1\n");
    QCOMPARE(::chmod(dir_->path().toLocal8Bit().constData(), 0555), 0);
    const bool written = ScriviIni("S", "k", "2", path());
    ::chmod(dir_->path().toLocal8Bit().constData(), 0755);
    QVERIFY(!written);
    QCOMPARE(content(path()), QByteArray("[S]\nk=1\n"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
