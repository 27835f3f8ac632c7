#include "UtenteComune.h"

#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// A disk that fails to flush folders or files, for the test that needs one: this definition
// takes the place of the C library's for the code linked into this test.
static std::atomic<mode_t> tipoNonSalvabile{0}; // S_IFDIR or S_IFREG
static std::atomic<int> erroreDelDisco{EIO};
extern "C" int fsync(int fd) {
    struct stat st {};
    if (tipoNonSalvabile && ::fstat(fd, &st) == 0 && (st.st_mode & S_IFMT) == tipoNonSalvabile) {
        errno = erroreDelDisco;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

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
    void soloFileRegolari_data();
    void soloFileRegolari();
    void fileDiSolaLetturaMaiSostituito();
    void bloccoDiUnAltroUtente();
    void bloccoConAttesaLimitata_data();
    void bloccoConAttesaLimitata();
    void bloccoApertoInScrittura();
    void fileAltruiMaiCancellati();
    void temporaneiAbbandonati_data();
    void temporaneiAbbandonati();
    void proprietarioConservato_data();
    void proprietarioConservato();
    void nonSalvatoSuDisco_data();
    void nonSalvatoSuDisco();

private:
    // One press of key 3 by the pressatore helper, as the ordinary user; its frame, or "-".
    QByteArray premiComeUtenteComune(const std::string& ini) { return premi(ini, true); }
    QByteArray premi(const std::string& ini, bool comeUtenteComune) {
        QProcess pressatore;
        const QStringList argomenti{QString::fromStdString(ini), QStringLiteral("1")};
        if (comeUtenteComune)
            utente::avvia(pressatore, QStringLiteral(PRESSATORE), argomenti, dir_->path());
        else
            pressatore.start(QStringLiteral(PRESSATORE), argomenti);
        if (!pressatore.waitForFinished(10000)) {
            pressatore.kill();
            pressatore.waitForFinished();
            return "<hung>";
        }
        if (pressatore.exitCode() != 0)
            return "<failed: " + pressatore.readAllStandardError() + ">";
        return pressatore.readAllStandardOutput().trimmed();
    }
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
        names.removeAll(QStringLiteral("pressatore")); // the ordinary user's copy of the helper
        return names;
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestIniFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    utente::apriATutti(dir_->path());
}

void TestIniFile::letturaNonCreaIlFile() {
    QCOMPARE(LeggiIni("Server", "Porta", "100", path()), std::string("100"));
    QVERIFY(!QFile::exists(QString::fromStdString(path())));
}

// A new file, and a copy, get the ordinary mode of a new file under the user's umask.
void TestIniFile::scritturaCreaIlFile() {
    const mode_t oldMask = umask(022);
    const bool written = ScriviIni("Pulsiero", "Passo", "1", path());
    write(path("seed.ini"), "[Server]\nPorta=2000\n");
    QCOMPARE(::chmod(path("seed.ini").c_str(), 0444), 0);
    const bool copied = static_cast<bool>(
        file::copiaSeManca(path("seed.ini"), path("copy.ini"), file::kLimiteImpostazioni));
    umask(oldMask);
    QVERIFY(written && copied);
    QCOMPARE(content(path()), QByteArray("[Pulsiero]\nPasso=1\n"));
    QCOMPARE(LeggiIni("pulsiero", "passo", "0", path()), std::string("1"));
    QCOMPARE(content(path("copy.ini")), QByteArray("[Server]\nPorta=2000\n"));
    struct stat st {};
    for (const char* name : {"pulsiero.ini", "copy.ini"}) {
        QCOMPARE(::stat(path(name).c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t{0644});
    }
    // A copy never replaces a file that is there already.
    write(path("copy.ini"), "[Server]\nPorta=3000\n");
    QVERIFY(!file::copiaSeManca(path("seed.ini"), path("copy.ini"), file::kLimiteImpostazioni));
    QCOMPARE(content(path("copy.ini")), QByteArray("[Server]\nPorta=3000\n"));
    QCOMPARE(leftovers(), (QStringList{"copy.ini", "pulsiero.ini", "seed.ini"}));
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

// The rename fails for a file of another user in a folder with the sticky bit, such as /tmp,
// although this user may write both: the press sends nothing and leaves no temporary file.
void TestIniFile::scritturaFallitaLasciaIlFile() {
    QVERIFY(!ScriviIni("S", "k", "v", path("nowhere/pulsiero.ini")));
    if (!utente::daRoot())
        QSKIP("only root can leave a file of another user");
    QVERIFY(QDir(dir_->path()).mkdir("shared"));
    QCOMPARE(::chmod(path("shared").c_str(), 01777), 0);
    const QByteArray before = "[Pulsiero]\nPasso=41\n";
    write(path("shared/pulsiero.ini"), before);
    QCOMPARE(::chmod(path("shared/pulsiero.ini").c_str(), 0666), 0);
    QCOMPARE(premiComeUtenteComune(path("shared/pulsiero.ini")), QByteArray("-"));
    QCOMPARE(content(path("shared/pulsiero.ini")), before);
    QCOMPARE(QDir(dir_->filePath("shared")).entryList(QDir::Files | QDir::Hidden),
             (QStringList{".pulsiero.ini.lock", "pulsiero.ini"}));
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
    const QByteArray before = "[Pulsiero]\nPasso=41\n";
    write(path(), before);
    const QByteArray folder = QFile::encodeName(dir_->path());
    QCOMPARE(::chmod(folder.constData(), 0555), 0);
    const QByteArray frame = premiComeUtenteComune(path());
    ::chmod(folder.constData(), 0777);
    QCOMPARE(frame, QByteArray("-"));
    QCOMPARE(content(path()), before);
}

// Only a regular file of at most 1 MiB is read; anything else reads as missing, without blocking
// or exhausting memory, and is never replaced.
void TestIniFile::soloFileRegolari_data() {
    QTest::addColumn<QString>("kind"); // "fifo", "device" or "file"
    QTest::addColumn<int>("size");     // of the file
    QTest::addColumn<QString>("port"); // read with the fallback "100"

    QTest::newRow("FIFO") << "fifo" << 0 << "100";
    QTest::newRow("/dev/zero") << "device" << 0 << "100";
    QTest::newRow("exactly 1 MiB") << "file" << 1048576 << "2000";
    QTest::newRow("1 MiB and one byte") << "file" << 1048577 << "100";
}

void TestIniFile::soloFileRegolari() {
    QFETCH(QString, kind);
    QFETCH(int, size);
    QFETCH(QString, port);
    QByteArray bytes = "[Server]\nPorta=2000\n;";
    bytes += QByteArray(size - bytes.size() - 1, 'x') + "\n";
    std::string p = path();
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(p.c_str(), 0644), 0);
    else if (kind == QLatin1String("device"))
        p = "/dev/zero"; // read only: never a target of a write here
    else
        write(p, bytes);

    QCOMPARE(QString::fromStdString(LeggiIni("Server", "Porta", "100", p)), port);
    if (kind == QLatin1String("device"))
        return;
    const bool readable = port == QLatin1String("2000");
    QCOMPARE(ScriviIni("Server", "Porta", "2001", p), readable);
    struct stat st {};
    QCOMPARE(::stat(p.c_str(), &st), 0);
    if (kind == QLatin1String("fifo")) {
        QVERIFY(!file::sostituisci(p, "[Server]\nPorta=2001\n")); // nor by a direct write
        QCOMPARE(::stat(p.c_str(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    } else if (!readable) {
        QCOMPARE(content(p), bytes);
    }
}

// A file without write permission for the user is never replaced, although its folder is
// writable: the press fails and sends nothing.
void TestIniFile::fileDiSolaLetturaMaiSostituito() {
    const QByteArray before = "[Pulsiero]\nPasso=41\n";
    write(path(), before);
    QCOMPARE(::chmod(path().c_str(), 0444), 0);
    utente::cediAllUtente(QString::fromStdString(path()));
    QCOMPARE(premiComeUtenteComune(path()), QByteArray("-"));
    QCOMPARE(content(path()), before);
    struct stat st {};
    QCOMPARE(::stat(path().c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0444});
    QCOMPARE(leftovers(), QStringList{"pulsiero.ini"});
}

// A lock file made by root, readable by all or private as older versions made it, never blocks
// another user's presses.
void TestIniFile::bloccoDiUnAltroUtente() {
    if (!utente::daRoot())
        QSKIP("only root can leave a file of another user");
    const mode_t oldMask = umask(077);
    const bool written = ScriviIni("Server", "Indirizzo", "127.0.0.1", path());
    umask(oldMask);
    QVERIFY(written);
    utente::cediAllUtente(QString::fromStdString(path()));
    const std::string lock = dir_->filePath(".pulsiero.ini.lock").toStdString();
    struct stat st {};
    QCOMPARE(::stat(lock.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0644});

    QCOMPARE(premiComeUtenteComune(path()), QByteArray("FCFC6781D7FFFFFFFE3"));
    QCOMPARE(::chmod(lock.c_str(), 0600), 0);
    QCOMPARE(premiComeUtenteComune(path()), QByteArray("FCFC6781D7FFFFFFFD4"));
    QCOMPARE(LeggiIni("Pulsiero", "Passo", "", path()), std::string("2"));
    QVERIFY(ScriviIni("Pulsiero", "Passo", "7", path())); // and root still saves
}

// A lock held by another process, or a FIFO planted where the lock goes, fails the press after
// a bounded wait instead of hanging it.
void TestIniFile::bloccoConAttesaLimitata_data() {
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<bool>("collegamento"); // pressed through a link to real.ini
    QTest::newRow("held by another process") << false << false;
    QTest::newRow("FIFO in its place") << true << false;
    QTest::newRow("held beside the target of a link") << false << true;
}

void TestIniFile::bloccoConAttesaLimitata() {
    QFETCH(bool, fifo);
    QFETCH(bool, collegamento);
    const QByteArray before = "[Pulsiero]\nPasso=41\n";
    write(collegamento ? path("real.ini") : path(), before);
    if (collegamento)
        QCOMPARE(::symlink(path("real.ini").c_str(), path().c_str()), 0);
    const std::string lock = path(collegamento ? ".real.ini.lock" : ".pulsiero.ini.lock");
    int tenuto = -1;
    if (fifo)
        QCOMPARE(::mkfifo(lock.c_str(), 0644), 0);
    else
        QVERIFY((tenuto = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) >= 0 &&
                ::flock(tenuto, LOCK_EX) == 0);
    const QByteArray frame = premi(path(), false);
    if (tenuto >= 0)
        ::close(tenuto);
    QCOMPARE(frame, QByteArray("-"));
    QCOMPARE(content(path()), before);
}

// flock on NFS needs a descriptor open for writing: the lock file is opened for reading only
// where writing is refused.
void TestIniFile::bloccoApertoInScrittura() {
    QVERIFY(ScriviIni("S", "k", "1", path())); // the lock file exists from now on
    const auto lock = ini::bloccaImpostazioni(path());
    QVERIFY(lock);
    const QString lockPath = QFileInfo(dir_->filePath(".pulsiero.ini.lock")).canonicalFilePath();
    int modi = -1;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const auto& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) != lockPath)
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        QVERIFY(info.open(QIODevice::ReadOnly));
        const auto righe = info.readAll().split('\n');
        for (const auto& riga : righe)
            if (riga.startsWith("flags:"))
                modi = riga.mid(6).trimmed().toInt(nullptr, 8) & O_ACCMODE;
    }
    QCOMPARE(modi, O_RDWR);
}

// Only this program's own temporary files are ever removed: a user's backup beside the settings
// file, whatever its name, outlives every save.
void TestIniFile::fileAltruiMaiCancellati() {
    write(path(".pulsiero.ini.backup"), "[Pulsiero]\nPasso=7\n");
    write(path(".pulsiero.ini.a1B2c3"), "mine");
    QVERIFY(ScriviIni("Pulsiero", "Passo", "8", path()));
    QCOMPARE(content(path(".pulsiero.ini.backup")), QByteArray("[Pulsiero]\nPasso=7\n"));
    QCOMPARE(content(path(".pulsiero.ini.a1B2c3")), QByteArray("mine"));
    QCOMPARE(leftovers(),
             (QStringList{".pulsiero.ini.a1B2c3", ".pulsiero.ini.backup", "pulsiero.ini"}));
}

// A temporary that a writer killed before its rename left beside the file is removed by the
// next save; a name that only looks like one, or one that may still be in use, is kept.
void TestIniFile::temporaneiAbbandonati_data() {
    QTest::addColumn<QString>("nome"); // %1: the process that made it
    QTest::addColumn<QString>("tipo"); // file, link, cartella, altrui (a file of another user)
    QTest::addColumn<bool>("vivo");    // that process still runs
    QTest::addColumn<bool>("rimosso");
    const QString nostro = QStringLiteral(".pulsiero.ini.pulsiero-%1-3-812736");
    QTest::newRow("ours, process ended") << nostro << "file" << false << true;
    QTest::newRow("ours, process running") << nostro << "file" << true << false;
    QTest::newRow("symbolic link") << nostro << "link" << false << false;
    QTest::newRow("folder") << nostro << "cartella" << false << false;
    QTest::newRow("another user's") << nostro << "altrui" << false << false;
    QTest::newRow("another file's") << ".altro.ini.pulsiero-%1-3-812736"
                                    << "file" << false << false;
    QTest::newRow("a field missing") << ".pulsiero.ini.pulsiero-%1-3"
                                     << "file" << false << false;
    QTest::newRow("a suffix after") << nostro + ".bak"
                                    << "file" << false << false;
    QTest::newRow("a sign before") << ".pulsiero.ini.pulsiero-+%1-3-1"
                                   << "file" << false << false;
}

void TestIniFile::temporaneiAbbandonati() {
    QFETCH(QString, nome);
    QFETCH(QString, tipo);
    QFETCH(bool, vivo);
    QFETCH(bool, rimosso);
    if (tipo == "altrui" && !utente::daRoot())
        QSKIP("only root can leave a file of another user");
    pid_t processo = ::getppid(); // the one that started this test
    if (!vivo) {
        processo = ::fork();
        if (processo == 0)
            ::_exit(0);
        QCOMPARE(::waitpid(processo, nullptr, 0), processo);
    }
    const std::string temporaneo = path(qPrintable(nome.arg(processo)));
    write(path("bersaglio"), "altrove");
    if (tipo == "link")
        QCOMPARE(::symlink(path("bersaglio").c_str(), temporaneo.c_str()), 0);
    else if (tipo == "cartella")
        QCOMPARE(::mkdir(temporaneo.c_str(), 0700), 0);
    else
        write(temporaneo, "mezzo");
    if (tipo == "altrui")
        utente::cediAllUtente(QString::fromStdString(temporaneo));
    QVERIFY(ScriviIni("Pulsiero", "Passo", "8", path()));
    struct stat st {};
    QCOMPARE(::lstat(temporaneo.c_str(), &st) == 0, !rimosso);
    QCOMPARE(content(path("bersaglio")), QByteArray("altrove"));
}

// A save keeps the file's owner, group and mode (a key makes it private to that owner); a file
// whose owner cannot be kept is not replaced at all.
void TestIniFile::proprietarioConservato_data() {
    QTest::addColumn<bool>("delUtente"); // the file is the ordinary user's (else root's)
    QTest::addColumn<int>("modo");
    QTest::addColumn<bool>("chiave");  // the file holds a key
    QTest::addColumn<int>("modoDopo"); // -1: not replaced
    QTest::newRow("root saves the user's file") << true << 0640 << false << 0640;
    QTest::newRow("root saves the user's keyed file") << true << 0644 << true << 0600;
    QTest::newRow("the user saves root's file open to all") << false << 0666 << false << -1;
}

void TestIniFile::proprietarioConservato() {
    if (!utente::daRoot())
        QSKIP("only root can leave a file of another user");
    QFETCH(bool, delUtente);
    QFETCH(int, modo);
    QFETCH(bool, chiave);
    QFETCH(int, modoDopo);
    const QByteArray before =
        "[Pulsiero]\nPasso=41\n" + (chiave ? "Chiave=" + QByteArray(64, 'a') + "\n" : QByteArray());
    write(path(), before);
    QCOMPARE(::chmod(path().c_str(), static_cast<mode_t>(modo)), 0);
    if (delUtente)
        utente::cediAllUtente(QString::fromStdString(path()));
    const QByteArray frame = delUtente ? premi(path(), false) : premiComeUtenteComune(path());
    struct stat st {};
    QCOMPARE(::stat(path().c_str(), &st), 0);
    QCOMPARE(st.st_uid, delUtente ? utente::kNobody : uid_t{0});
    QCOMPARE(st.st_gid, delUtente ? gid_t{utente::kNobody} : gid_t{0});
    QCOMPARE(static_cast<int>(st.st_mode & 07777), modoDopo < 0 ? modo : modoDopo);
    QCOMPARE(frame == "-", modoDopo < 0);
    if (modoDopo < 0)
        QCOMPARE(content(path()), before);
}

// The new file is safe on disk only once it and its folder are flushed: a failed flush fails the
// save, so a step is never reported stored when a power cut may bring the old back. A folder the
// file system cannot flush at all (EINVAL) has nothing to lose.
void TestIniFile::nonSalvatoSuDisco_data() {
    QTest::addColumn<int>("tipo");
    QTest::addColumn<int>("errore");
    QTest::addColumn<bool>("salvato");
    QTest::newRow("folder fails to flush") << int(S_IFDIR) << EIO << false;
    QTest::newRow("new file fails to flush") << int(S_IFREG) << EIO << false;
    QTest::newRow("folder that cannot be flushed") << int(S_IFDIR) << EINVAL << true;
}

void TestIniFile::nonSalvatoSuDisco() {
    QFETCH(int, tipo);
    QFETCH(int, errore);
    QFETCH(bool, salvato);
    write(path(), "[Pulsiero]\nPasso=41\n");
    tipoNonSalvabile = static_cast<mode_t>(tipo);
    erroreDelDisco = errore;
    const bool riuscito = ScriviIni("Pulsiero", "Passo", "42", path());
    tipoNonSalvabile = 0;
    QCOMPARE(riuscito, salvato);
    QCOMPARE(content(path()), QByteArray(salvato || tipo == S_IFDIR ? "[Pulsiero]\nPasso=42\n"
                                                                    : "[Pulsiero]\nPasso=41\n"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
