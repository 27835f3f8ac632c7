#include "Loopback.h"
#include "UtenteComune.h"
#include "core/Frame.h"
#include "core/IniFile.h"
#include "ricevitore/ServerRicevitore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pulsiero;

namespace {

const std::string kIntestazione = "pulsiero-ricevitore stato 1\n";
// The state file holding transmitter 7 at step 500.
const QByteArray kSette500 = "pulsiero-ricevitore stato 1\n7 500\ncontrollo B7B2C583\n";

using loopback::connetti;

QByteArray leggi(const QString& percorso) {
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A receiver running on its own thread on 127.0.0.1, with its log collected.
class RicevitoreInProva {
public:
    explicit RicevitoreInProva(ricevitore::Opzioni opzioni)
        : fileStato_(opzioni.fileStato), server_(std::move(opzioni)) {
        server_.impostaRegistro([this](ricevitore::Esito e) {
            std::lock_guard lock(mutex_);
            if (e.accettato && !salvatoPrimaDelRegistro(e))
                ++nonSalvati_;
            esiti_.push_back(std::move(e));
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

    std::uint16_t porta() const { return server_.porta(); }
    // CPU time used so far by the receiver's loop.
    std::chrono::milliseconds tempoCpu() {
        clockid_t orologio{};
        pthread_getcpuclockid(thread_.native_handle(), &orologio);
        timespec t{};
        clock_gettime(orologio, &t);
        return std::chrono::milliseconds(t.tv_sec * 1000 + t.tv_nsec / 1000000);
    }
    void invia(const std::string& dati, const char* da = "127.0.0.1") const {
        const int fd = connetti(server_.porta(), da);
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
    // Read by hand, not by the tracker's own parser: the line "transmitter step" on disk holds
    // this step, or a later one saved meanwhile.
    bool salvatoPrimaDelRegistro(const ricevitore::Esito& e) const {
        const auto riga = "\n" + QByteArray::number(*e.pulsiero) + ' ';
        const QByteArray stato = leggi(QString::fromStdString(fileStato_));
        const auto dove = stato.indexOf(riga);
        if (dove < 0)
            return false;
        const auto passo = stato.mid(dove + riga.size()).split('\n').first().toLongLong();
        return (passo - *e.passo + 65535) % 65535 < 32768;
    }

    std::string fileStato_;
    int nonSalvati_ = 0;
    ricevitore::Server server_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<ricevitore::Esito> esiti_;
};

std::string trama(int transmitter, int key, int step, int receiver = 12345) {
    const std::time_t adesso = std::time(nullptr);
    std::tm locale{};
    localtime_r(&adesso, &locale);
    return *frame::build({receiver, transmitter, static_cast<std::int16_t>(key),
                          static_cast<std::int16_t>(locale.tm_hour * 60 + locale.tm_min), 3, step});
}

ricevitore::Opzioni opzioniDiProva(const QTemporaryDir& dir) {
    ricevitore::Opzioni o;
    o.porta = 0; // any free port on 127.0.0.1
    o.numeroRicevitore = 12345;
    o.fileStato = dir.filePath("stato").toStdString();
    return o;
}

QStringList verdetti(const std::vector<ricevitore::Esito>& esiti) {
    QStringList v;
    for (const auto& e : esiti)
        v << QString::fromStdString(e.verdetto);
    return v;
}

void scrivi(const QString& percorso, const QByteArray& dati) {
    QFile f(percorso);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(dati);
}

bool radice() {
    return ::geteuid() == 0;
}

// Permission faults only show as an ordinary user: as root, the receiver runs as nobody and the
// files it is to own are given to nobody.
void diNessuno(const QString& percorso) {
    if (radice())
        (void)!::lchown(QFile::encodeName(percorso).constData(), 65534, 65534);
}

// The program itself, as the ordinary user when asked (nobody, when run as root), after a
// command such as prlimit: its port read from the start-up line, its log collected from stdout.
class ProgrammaInProva {
public:
    ~ProgrammaInProva() { ferma(); }
    // True once it listens; false when it stopped, or failed to say where it listens.
    bool avvia(const QStringList& argomenti, bool comeNessuno, const QStringList& prima = {}) {
        QStringList comando = prima + QStringList{RICEVITORE} + argomenti;
        if (comeNessuno && radice()) {
            comando = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} +
                      prima + QStringList{utente::copiaRaggiungibile(RICEVITORE)} + argomenti;
        }
        p_.start(comando[0], comando.mid(1));
        (void)QTest::qWaitFor(
            [&] {
                errori_ += p_.readAllStandardError();
                const auto dove = errori_.indexOf(" porta ");
                if (dove >= 0)
                    porta_ = errori_.mid(dove + 7).split(',').first().toUShort();
                return porta_ > 0 || p_.state() == QProcess::NotRunning;
            },
            5000);
        return porta_ > 0;
    }
    // How it ended (-1: still running, stopped by the test) and what it said on stderr.
    std::pair<int, QString> uscita() {
        const bool finito =
            p_.state() == QProcess::NotRunning || p_.waitForFinished(porta_ > 0 ? 0 : 5000);
        ferma();
        errori_ += p_.readAllStandardError();
        return {finito ? p_.exitCode() : -1, QString::fromUtf8(errori_)};
    }
    void invia(const std::string& dati) const {
        const int fd = connetti(porta_);
        (void)!::write(fd, dati.data(), dati.size());
        ::close(fd);
    }
    // The log lines so far, once there are at least quante and stderr holds inErrori.
    QList<QByteArray> righe(int quante, const QByteArray& inErrori = {}) {
        (void)QTest::qWaitFor(
            [&] {
                uscita_ += p_.readAllStandardOutput();
                errori_ += p_.readAllStandardError();
                return uscita_.count('\n') >= quante && errori_.contains(inErrori);
            },
            5000);
        return uscita_.trimmed().split('\n');
    }
    void ferma() {
        p_.terminate();
        p_.waitForFinished(5000);
    }
    QString pid() const { return QString::number(p_.processId()); }
    std::uint16_t porta() const { return porta_; }

private:
    QProcess p_;
    QByteArray errori_, uscita_;
    std::uint16_t porta_ = 0;
};

QString motivo(const QByteArray& rigaJson) {
    return QJsonDocument::fromJson(rigaJson).object()["motivo"].toString();
}

} // namespace

// The reference receiver over real loopback connections.
class TestRicevitore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void statoNonUsabile_data();
    void statoNonUsabile();
    void primoAvvioCreaLeCartelle();
    void versione();
    void apprendimentoSoloAlPrimoAvvio();
    void apprendimentoEsplicitoControllaINoti();
    void statoNonSalvatoNonAgisce_data();
    void statoNonSalvatoNonAgisce();
    void troppiTentativi_data();
    void troppiTentativi();
    void tentativiPerPulsiero_data();
    void tentativiPerPulsiero();
    void tentativiNelTempo_data();
    void tentativiNelTempo();
    void opzioniAiLimiti_data();
    void opzioniAiLimiti();
    void opzioniDelProgramma_data();
    void opzioniDelProgramma();
    void unaConnessione_data();
    void unaConnessione();
    void laPiuVecchiaFaPosto();
    void clientConcorrenti();
    void limiteDeiFileAperti_data();
    void limiteDeiFileAperti();
    void senzaDescrittoriNonGira();
    void registroNonBlocca();
    void rifiutiDaMoltiIndirizzi();
    void rifiutiUgualiRiassunti();
    void nessunCampoFinto();
    void jsonValido_data();
    void jsonValido();
    void programmaPerOgniTramaAccettata();
    void programmiLimitati_data();
    void programmiLimitati();
    void programmiCondivisi();
    void piuIndirizziEIpv6();
    void uscitaDelProgrammaFuoriDalRegistro();
    void ascoltoFallito_data();
    void ascoltoFallito();
    void portaPrivilegiata();
};

void TestRicevitore::initTestCase() {
    std::signal(SIGXFSZ, SIG_IGN); // as the receiver's main does
}

void TestRicevitore::statoNonUsabile_data() {
    QTest::addColumn<bool>("comeNessuno");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("folder writable by others")
        << true << "la cartella dello stato è scrivibile dal gruppo o da altri utenti";
    QTest::newRow("folder writable by the group")
        << true << "la cartella dello stato è scrivibile dal gruppo o da altri utenti";
    QTest::newRow("sticky folder writable by others is usable") << true << ""; // it starts
    QTest::newRow("sticky folder with another user's lock")
        << true << "il blocco dello stato non è un file nostro";
    QTest::newRow("folder of another user")
        << true << "la cartella dello stato appartiene a un altro utente";
    QTest::newRow("unreadable state") << true << "impossibile leggere lo stato: Permission denied";
    QTest::newRow("state is a folder") << true << "lo stato non è un file regolare";
    QTest::newRow("garbage") << true << "stato non valido: intestazione mancante o sconosciuta";
    QTest::newRow("cut inside a step")
        << true << "stato non valido: file troncato (manca la riga di controllo)";
    QTest::newRow("symbolic link planted") << true << "lo stato è un collegamento simbolico";
    QTest::newRow("symbolic link planted as the lock")
        << true << "impossibile aprire il blocco dello stato: Too many levels of symbolic links";
    QTest::newRow("a file where the folder goes")
        << true << "impossibile creare la cartella dello stato";
    QTest::newRow("folder not writable")
        << true << "impossibile scrivere lo stato: Permission denied";
    QTest::newRow("held by another copy")
        << false << "stato già in uso da un'altra copia del ricevitore";
}

// Each of these used to start with learning on, or wrote through the link.
void TestRicevitore::statoNonUsabile() {
    QFETCH(bool, comeNessuno);
    QFETCH(QString, messaggio);
    const QString riga = QTest::currentDataTag();
    QTemporaryDir base;
    ::chmod(QFile::encodeName(base.path()).constData(), 0711);
    const QString cartella = base.filePath("cartella");
    QString stato = cartella + "/stato";
    QDir().mkpath(cartella);
    ::chmod(QFile::encodeName(cartella).constData(), 0700);
    if (comeNessuno)
        diNessuno(cartella);
    std::optional<ricevitore::FileStato> tenuto;
    if (riga.startsWith("folder writable by") || riga.startsWith("sticky")) {
        ::chmod(QFile::encodeName(cartella).constData(), riga.startsWith("sticky") ? 01777
                                                         : riga.endsWith("group")  ? 0770
                                                                                   : 0777);
        if (riga.endsWith("lock")) { // open to all, as anyone may plant it there
            if (!radice())
                QSKIP("only root can plant a file of another user");
            scrivi(cartella + "/.stato.lock", "");
            ::chmod(QFile::encodeName(cartella + "/.stato.lock").constData(), 0666);
        }
    } else if (riga == "folder of another user") {
        if (radice())
            (void)!::lchown(QFile::encodeName(cartella).constData(), 0, 0);
        else
            stato = "/tmp/pulsiero-ricevitore-prova-stato"; // /tmp belongs to root
        ::chmod(QFile::encodeName(cartella).constData(), 0755);
    } else if (riga == "unreadable state") {
        scrivi(stato, kSette500);
        ::chmod(QFile::encodeName(stato).constData(), 0);
        diNessuno(stato);
    } else if (riga == "state is a folder") {
        QDir().mkdir(stato);
        diNessuno(stato);
    } else if (riga == "garbage") {
        scrivi(stato, "7 500\n");
        diNessuno(stato);
    } else if (riga == "cut inside a step") {
        scrivi(stato, kSette500.left(32));
        diNessuno(stato);
    } else if (riga == "symbolic link planted") {
        scrivi(cartella + "/bersaglio", "segreto");
        QFile::link(cartella + "/bersaglio", stato);
        diNessuno(stato);
    } else if (riga == "symbolic link planted as the lock") {
        scrivi(cartella + "/bersaglio", "segreto");
        QFile::link(cartella + "/bersaglio", cartella + "/.stato.lock");
        diNessuno(cartella + "/.stato.lock");
    } else if (riga == "a file where the folder goes") {
        scrivi(cartella + "/file", "");
        stato = cartella + "/file/sotto/stato";
    } else if (riga == "folder not writable") {
        scrivi(stato, kSette500);
        scrivi(cartella + "/.stato.lock", "");
        diNessuno(stato);
        diNessuno(cartella + "/.stato.lock");
        ::chmod(QFile::encodeName(cartella).constData(), 0500);
    } else if (riga == "held by another copy") {
        auto aperto = ricevitore::FileStato::apri(stato.toStdString());
        QVERIFY(std::holds_alternative<ricevitore::FileStato>(aperto));
        tenuto.emplace(std::move(std::get<ricevitore::FileStato>(aperto)));
    }
    ProgrammaInProva p;
    p.avvia({"--porta", "0", "--stato", stato}, comeNessuno);
    const auto [codice, errori] = p.uscita();
    QCOMPARE(codice, messaggio.isEmpty() ? -1 : 1);
    QVERIFY2(errori.contains(messaggio), qPrintable(errori));
    QVERIFY2(errori.contains(stato.left(stato.lastIndexOf('/'))), qPrintable(errori));
    if (riga.startsWith("symbolic link planted"))
        QCOMPARE(leggi(cartella + "/bersaglio"), QByteArray("segreto"));
    ::chmod(QFile::encodeName(cartella).constData(), 0700);
}

// On a new account, without ~/.local, the folders are made and the state written at start-up.
void TestRicevitore::primoAvvioCreaLeCartelle() {
    QTemporaryDir casa;
    auto ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("HOME", casa.path());
    ambiente.remove("XDG_STATE_HOME");
    ambiente.remove("STATE_DIRECTORY");
    QProcess p;
    p.setProcessEnvironment(ambiente);
    p.start(RICEVITORE, {"--porta", "0"});
    QVERIFY(p.waitForStarted());
    const QString stato = casa.filePath(".local/state/pulsiero-ricevitore/stato");
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(stato); }, 5000));
    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(leggi(stato), QByteArray("pulsiero-ricevitore stato 1\ncontrollo 41126D38\n"));
    QCOMPARE(QFileInfo(casa.filePath(".local/state/pulsiero-ricevitore")).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());
}

void TestRicevitore::versione() {
    QProcess p;
    p.start(RICEVITORE, {"--version"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.readAllStandardOutput(), QByteArray("pulsiero-ricevitore 1.0.0\n"));
    QCOMPARE(p.exitCode(), 0);
}

// The first start learns, from two consecutive frames; once state exists, a restart does not.
void TestRicevitore::apprendimentoSoloAlPrimoAvvio() {
    QTemporaryDir dir;
    {
        RicevitoreInProva r(opzioniDiProva(dir));
        r.invia(trama(7, 2, 500));
        r.invia(trama(7, 2, 501));
        r.invia(trama(7, 2, 501));
        QCOMPARE(verdetti(r.attendi(3)),
                 QStringList({"rifiutato: apprendimento in attesa del passo successivo",
                              "accettato (pulsiero appreso)", "rifiutato: ripetizione rifiutata"}));
        QCOMPARE(r.nonSalvati(), 0);
    }
    QCOMPARE(leggi(dir.filePath("stato")),
             QByteArray("pulsiero-ricevitore stato 1\n7 501\ncontrollo AEA9F4C2\n"));
    RicevitoreInProva r(opzioniDiProva(dir));
    r.invia(trama(7, 2, 501)); // a replay across the restart
    r.invia(trama(9, 0, 1));
    r.invia(trama(9, 0, 2));
    r.invia(trama(7, 3, 502));
    QCOMPARE(verdetti(r.attendi(4)),
             QStringList({"rifiutato: ripetizione rifiutata", "rifiutato: pulsiero sconosciuto",
                          "rifiutato: pulsiero sconosciuto", "accettato"}));
}

// --apprendimento learns new transmitters (several in one session) and checks the known ones.
void TestRicevitore::apprendimentoEsplicitoControllaINoti() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    auto opzioni = opzioniDiProva(dir);
    opzioni.apprendimento = true;
    RicevitoreInProva r(opzioni);
    r.invia(trama(7, 0, 500));
    r.invia(trama(7, 0, 499));
    r.invia(trama(9, 1, 40));
    r.invia(trama(9, 1, 41));
    r.invia(trama(12, 1, 3));
    r.invia(trama(12, 1, 4));
    QCOMPARE(verdetti(r.attendi(6)),
             QStringList({"rifiutato: ripetizione rifiutata", "rifiutato: ripetizione rifiutata",
                          "rifiutato: apprendimento in attesa del passo successivo",
                          "accettato (pulsiero appreso)",
                          "rifiutato: apprendimento in attesa del passo successivo",
                          "accettato (pulsiero appreso)"}));
}

void TestRicevitore::statoNonSalvatoNonAgisce_data() {
    QTest::addColumn<QString>("guasto");
    QTest::newRow("file-size limit") << "limite";
    QTest::newRow("a folder in place of the file") << "cartella";
    QTest::newRow("read-only folder") << "sola lettura";
}

// The save fails: the frame is refused, the program not run, and the same frame is accepted
// once the state can be written again.
void TestRicevitore::statoNonSalvatoNonAgisce() {
    QFETCH(QString, guasto);
    QTemporaryDir base;
    ::chmod(QFile::encodeName(base.path()).constData(), 0711);
    const QString cartella = base.filePath("cartella");
    const QString stato = cartella + "/stato";
    const QString segno = cartella + "/eseguito";
    QDir().mkpath(cartella);
    ::chmod(QFile::encodeName(cartella).constData(), 0700);
    scrivi(stato, kSette500);
    scrivi(cartella + "/azione.sh", "#!/bin/sh\necho \"$@\" >> '" + segno.toUtf8() + "'\n");
    QFile::setPermissions(cartella + "/azione.sh", QFile::ReadOwner | QFile::ExeOwner);
    for (const QString& f : {cartella, stato, cartella + "/azione.sh"})
        diNessuno(f);
    ProgrammaInProva r;
    QVERIFY(r.avvia({"--porta", "0", "--ricevitore", "12345", "--json", "--stato", stato,
                     "--esegui", cartella + "/azione.sh"},
                    true));
    const auto limite = [&r](const char* valore) { // set by the same user as the receiver's
        const QStringList prlimit{"prlimit", "--pid", r.pid(), QString("--fsize=") + valore};
        return radice() ? QProcess::execute("setpriv", QStringList{"--reuid=65534", "--regid=65534",
                                                                   "--clear-groups"} +
                                                           prlimit)
                        : QProcess::execute(prlimit[0], prlimit.mid(1));
    };
    if (guasto == "limite")
        QCOMPARE(limite("20:unlimited"), 0);
    else if (guasto == "cartella")
        QVERIFY(QFile::remove(stato) && QDir().mkdir(stato));
    else
        ::chmod(QFile::encodeName(cartella).constData(), 0500);
    r.invia(trama(7, 2, 501));
    QCOMPARE(motivo(r.righe(1).value(0)), QString("stato_non_salvato"));
    QCOMPARE(leggi(stato), guasto == "cartella" ? QByteArray() : kSette500);
    if (guasto == "limite")
        QCOMPARE(limite("unlimited:unlimited"), 0);
    else if (guasto == "cartella")
        QVERIFY(QDir().rmdir(stato));
    else
        ::chmod(QFile::encodeName(cartella).constData(), 0700);
    r.invia(trama(7, 2, 501));
    QCOMPARE(motivo(r.righe(2).value(1)), QString("accettato"));
    QTRY_COMPARE(leggi(segno), QByteArray("3 7 501\n"));
    QCOMPARE(leggi(stato), QByteArray("pulsiero-ricevitore stato 1\n7 501\ncontrollo AEA9F4C2\n"));
}

void TestRicevitore::troppiTentativi_data() {
    QTest::addColumn<int>("rifiuti");
    QTest::addColumn<QString>("verdetto");
    QTest::newRow("nine refusals") << 9 << "accettato";
    QTest::newRow("ten refusals") << 10 << "rifiutato: troppi tentativi";
}

// Refusals from 127.0.0.3 block 127.0.0.3 only; 127.0.0.1 goes on.
void TestRicevitore::troppiTentativi() {
    QFETCH(int, rifiuti);
    QFETCH(QString, verdetto);
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    RicevitoreInProva r(opzioniDiProva(dir));
    r.invia(trama(7, 0, 501), "127.0.0.3"); // an accepted frame is no refusal
    for (int i = 0; i < rifiuti; ++i)       // unknown transmitters, so that 7 itself is not blocked
        r.invia(trama(20 + i, 0, 400), "127.0.0.3");
    QCOMPARE(r.attendi(rifiuti + 1).size(), std::size_t(rifiuti + 1));
    r.invia(trama(7, 0, 502), "127.0.0.3");
    r.invia(trama(7, 0, 503), "127.0.0.1");
    const auto esiti = r.attendi(rifiuti + 3);
    QCOMPARE(QString::fromStdString(esiti[rifiuti + 1].verdetto), verdetto);
    QCOMPARE(QString::fromStdString(esiti[rifiuti + 2].verdetto), QString("accettato"));
}

void TestRicevitore::tentativiPerPulsiero_data() {
    QTest::addColumn<int>("rifiuti"); // replays of transmitter 7, each from an address of its own
    QTest::addColumn<QString>("verdetto");
    QTest::newRow("nine refusals") << 9 << "accettato";
    QTest::newRow("ten refusals") << 10 << "rifiutato: troppi tentativi per questo pulsiero";
}

// Many addresses walking one transmitter's window are blocked as one.
void TestRicevitore::tentativiPerPulsiero() {
    QFETCH(int, rifiuti);
    QFETCH(QString, verdetto);
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    RicevitoreInProva r(opzioniDiProva(dir));
    for (int i = 0; i < rifiuti; ++i)
        r.invia(trama(7, 0, 400 + i), ("127.0.1." + std::to_string(i + 1)).c_str());
    r.attendi(rifiuti);
    r.invia(trama(7, 0, 501), "127.0.2.1");
    QCOMPARE(verdetti(r.attendi(rifiuti + 1)).value(rifiuti), verdetto);
}

void TestRicevitore::tentativiNelTempo_data() {
    QTest::addColumn<QList<int>>("rifiuti"); // milliseconds; three in a minute block for 30 s
    QTest::addColumn<int>("quando");
    QTest::addColumn<bool>("bloccato");
    QTest::newRow("two refusals") << QList<int>{0, 1000} << 1000 << false;
    QTest::newRow("the third blocks") << QList<int>{0, 1000, 2000} << 2000 << true;
    QTest::newRow("last millisecond of the block") << QList<int>{0, 1000, 2000} << 31999 << true;
    QTest::newRow("block over after 30 s") << QList<int>{0, 1000, 2000} << 32000 << false;
    QTest::newRow("the first still counts at 59.999 s")
        << QList<int>{0, 1000, 59999} << 59999 << true;
    QTest::newRow("the first forgotten at 60 s") << QList<int>{0, 1000, 60000} << 60000 << false;
    QTest::newRow("refusals during a block do not lengthen it")
        << QList<int>{0, 1, 2, 20000, 20001, 20002} << 30002 << false;
}

void TestRicevitore::tentativiNelTempo() {
    QFETCH(QList<int>, rifiuti);
    QFETCH(int, quando);
    QFETCH(bool, bloccato);
    ricevitore::Tentativi tentativi(3, std::chrono::seconds(30));
    const auto inizio = ricevitore::Tentativi::Orologio::time_point{} + std::chrono::hours(5);
    for (const int ms : rifiuti)
        tentativi.rifiuto("127.0.0.5", inizio + std::chrono::milliseconds(ms));
    const auto adesso = inizio + std::chrono::milliseconds(quando);
    QCOMPARE(tentativi.bloccato("127.0.0.5", adesso), bloccato);
    QVERIFY(!tentativi.bloccato("127.0.0.6", adesso));
}

void TestRicevitore::opzioniAiLimiti_data() {
    // A value at its limit is taken: the unknown option after it is what stops the start.
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<QString>("errore");
    const QString ignota = "opzione sconosciuta: --x";
    QTest::newRow("--finestra 1024") << QStringList{"--finestra", "1024", "--x"} << ignota;
    QTest::newRow("--finestra 1025")
        << QStringList{"--finestra", "1025"} << "--finestra deve essere tra 1 e 1024";
    QTest::newRow("--risincronizzazione 30000")
        << QStringList{"--risincronizzazione", "30000", "--x"} << ignota;
    QTest::newRow("--risincronizzazione 30001") << QStringList{"--risincronizzazione", "30001"}
                                                << "--risincronizzazione deve essere tra 0 e 30000";
    QTest::newRow("--tentativi 0")
        << QStringList{"--tentativi", "0"} << "--tentativi deve essere tra 1 e 100000";
    QTest::newRow("--ricevitore 1048576")
        << QStringList{"--ricevitore", "1048576"} << "--ricevitore deve essere tra 1 e 1048575";
}

void TestRicevitore::opzioniAiLimiti() {
    QFETCH(QStringList, argomenti);
    QFETCH(QString, errore);
    ProgrammaInProva p;
    p.avvia(argomenti, false);
    const auto [codice, errori] = p.uscita();
    QCOMPARE(codice, 2);
    QVERIFY2(errori.startsWith("pulsiero-ricevitore: " + errore + "\n"), qPrintable(errori));
}

void TestRicevitore::opzioniDelProgramma_data() {
    // Each row runs the program with --porta 0 and --stato @/stato (@: a new folder) unless it
    // gives its own.
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<int>("uscita"); // -1: it listens, and is stopped by the test
    QTest::addColumn<QString>("messaggio");
    QTest::addColumn<QString>("ascolta"); // addresses it must answer on, then ":" and one it must
                                          // not ("127.0.0.1:" nothing refused)
    const auto riga = [](const char* nome, QStringList a, int uscita, QString messaggio,
                         QString ascolta = "127.0.0.1:") {
        QTest::newRow(nome) << a << uscita << messaggio << ascolta;
    };
    riga("--indirizzo replaces 127.0.0.1", {"--indirizzo", "127.0.0.2"}, -1,
         "in ascolto su 127.0.0.2 ", "127.0.0.2:127.0.0.1");
    riga("--indirizzo twice", {"--indirizzo", "127.0.0.2", "--indirizzo=127.0.0.3"}, -1,
         "in ascolto su 127.0.0.2, 127.0.0.3 porta", "127.0.0.2,127.0.0.3:127.0.0.1");
    riga("--porta=0", {"--porta=0"}, -1, "in ascolto su 127.0.0.1 porta");
    riga("--ricevitore 1e+2", {"--ricevitore", "1e+2"}, -1, "ricevitore 100,");
    riga("--ricevitore=1048575", {"--ricevitore=1048575"}, -1, "ricevitore 1048575,");
    riga("--pulsieri 7,9", {"--pulsieri", "7,9"}, -1, "in ascolto");
    riga("--finestra 1024", {"--finestra", "1024"}, -1, "in ascolto");
    riga("--risincronizzazione 0", {"--risincronizzazione", "0"}, -1, "in ascolto");
    riga("--avanzamento-orario 1", {"--avanzamento-orario", "1"}, -1, "in ascolto");
    riga("--tolleranza no", {"--tolleranza", "no"}, -1, "in ascolto");
    riga("--tolleranza=720", {"--tolleranza=720"}, -1, "in ascolto");
    riga("--apprendimento", {"--apprendimento", "--apprendimento-secondi", "86400"}, -1,
         "(apprendimento aperto per 86400 s)");
    riga("--stato elsewhere", {"--stato", "@/altro/stato"}, -1, "/altro/stato");
    riga("--chiavi", {"--chiavi", "@/chiavi"}, -1, "in ascolto");
    riga("--tentativi and --blocco-secondi", {"--tentativi", "1", "--blocco-secondi", "86400"}, -1,
         "in ascolto");
    riga("--esegui", {"--esegui", "/bin/true", "--max-programmi", "64", "--esegui-secondi", "3600"},
         -1, "in ascolto");
    riga("--json", {"--json"}, -1, "in ascolto");
    riga("--max-connessioni", {"--max-connessioni", "8", "--max-per-indirizzo", "1"}, -1,
         "in ascolto");
    riga("--version", {"--version"}, 0, "");
    riga("--help", {"--help"}, 0, "");
    riga("-h", {"-h"}, 0, "");
    riga("--abbina 7", {"--abbina", "7"}, 0, "pulsiero 7 abbinato");
    riga("--dimentica of nothing", {"--dimentica", "7"}, 1, "pulsiero 7 sconosciuto");
    // Malformed: exit 2, one line naming the option, and nothing created.
    riga("empty --porta", {"--porta", ""}, 2, "valore vuoto per --porta");
    riga("empty --stato", {"--stato", ""}, 2, "valore vuoto per --stato");
    riga("empty --chiavi", {"--chiavi="}, 2, "valore vuoto per --chiavi");
    riga("empty --esegui", {"--esegui="}, 2, "valore vuoto per --esegui");
    riga("empty --indirizzo", {"--indirizzo", ""}, 2, "indirizzo non valido per --indirizzo: ");
    riga("empty --pulsieri", {"--pulsieri="}, 2, "valore vuoto per --pulsieri");
    riga("--pulsieri trailing comma", {"--pulsieri", "7,"}, 2, "numero mancante in --pulsieri: 7,");
    riga("--pulsieri leading comma", {"--pulsieri", ",7"}, 2, "numero mancante in --pulsieri: ,7");
    riga("--pulsieri 129", {"--pulsieri", "7,129"}, 2, "--pulsieri deve essere tra 1 e 128");
    riga("--porta trailing junk", {"--porta", "10100x"}, 2,
         "valore non numerico per --porta: 10100x");
    riga("--tolleranza trailing junk", {"--tolleranza", "5m"}, 2,
         "valore non numerico per --tolleranza");
    riga("--finestra 1.5", {"--finestra", "1.5"}, 2, "valore non intero per --finestra: 1.5");
    riga("--ricevitore too long", {"--ricevitore", "99999999999999999999"}, 2,
         "--ricevitore deve essere tra 1 e 1048575");
    riga("--porta 65536", {"--porta=65536"}, 2, "--porta deve essere tra 0 e 65535");
    riga("--indirizzo not an address", {"--indirizzo", "1.2.3"}, 2,
         "indirizzo non valido per --indirizzo: 1.2.3");
    riga("--porta repeated", {"--porta", "0", "--porta=0"}, 2, "opzione ripetuta: --porta");
    riga("--json repeated", {"--json", "--json"}, 2, "opzione ripetuta: --json");
    riga("--json=1", {"--json=1"}, 2, "--json non vuole un valore");
    riga("value missing", {"--tentativi"}, 2, "manca il valore di --tentativi");
    riga("unknown option", {"--x"}, 2, "opzione sconosciuta: --x");
    riga("unknown option=value", {"--x=1"}, 2, "opzione sconosciuta: --x");
    riga("an argument", {"extra"}, 2, "argomento inatteso: extra");
}

// Every option on the real program: what it says, how it ends, where it listens, and that a
// refused command line creates nothing.
void TestRicevitore::opzioniDelProgramma() {
    QFETCH(QStringList, argomenti);
    QFETCH(int, uscita);
    QFETCH(QString, messaggio);
    QFETCH(QString, ascolta);
    QTemporaryDir dir;
    argomenti.replaceInStrings("@", dir.path());
    QStringList prima;
    for (const QString base : {"--porta", "--stato"})
        if (argomenti.filter(QRegularExpression("^" + base + "(=|$)")).isEmpty())
            prima << base << (base == "--porta" ? "0" : dir.filePath("stato"));
    ProgrammaInProva p;
    const bool inAscolto = p.avvia(prima + argomenti, false);
    QCOMPARE(inAscolto, uscita == -1);
    const auto risponde = [&](const QString& indirizzo) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(p.porta());
        inet_pton(AF_INET, qPrintable(indirizzo), &a.sin_addr);
        const bool si = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return si;
    };
    if (inAscolto) {
        for (const QString& a : ascolta.section(':', 0, 0).split(',', Qt::SkipEmptyParts))
            QVERIFY2(risponde(a), qPrintable(a));
        if (!ascolta.section(':', 1).isEmpty())
            QVERIFY(!risponde(ascolta.section(':', 1)));
    }
    const auto [codice, errori] = p.uscita();
    QCOMPARE(codice, uscita);
    QVERIFY2(errori.contains(messaggio), qPrintable(errori));
    if (uscita == 2) {
        QVERIFY2(errori.startsWith("pulsiero-ricevitore: " + messaggio), qPrintable(errori));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }
}

void TestRicevitore::unaConnessione_data() {
    QTest::addColumn<QByteArray>("dati");
    QTest::addColumn<int>("pausaMs");  // between the first five bytes and the rest
    QTest::addColumn<int>("inattese"); // idle connections from 127.0.0.4 before it
    QTest::addColumn<QString>("verdetto");
    const auto frame = QByteArray::fromStdString(trama(7, 0, 501));
    QTest::newRow("nothing") << QByteArray() << 0 << 0 << "rifiutato: trama non valida";
    QTest::newRow("binary") << QByteArray("\x00\xFF\x1A\n", 4) << 0 << 0
                            << "rifiutato: trama non valida";
    QTest::newRow("64 bytes") << QByteArray(64, 'F') << 0 << 0 << "rifiutato: trama non valida";
    QTest::newRow("65 bytes") << QByteArray(65, 'F') << 0 << 0 << "rifiutato: troppi dati";
    QTest::newRow("wrong receiver") << QByteArray::fromStdString(trama(7, 0, 501, 54321)) << 0 << 0
                                    << "rifiutato: ricevitore errato";
    // A connection has 250 ms for its frame: a slow one never holds a slot for long.
    QTest::newRow("rest after 50 ms") << frame << 50 << 0 << "accettato";
    QTest::newRow("rest after 450 ms") << frame << 450 << 0 << "rifiutato: tempo scaduto";
    QTest::newRow("three idle from the address") << frame << 0 << 3 << "accettato";
    QTest::newRow("four idle from the address")
        << frame << 0 << 4 << "rifiutato: troppe connessioni da questo indirizzo";
}

void TestRicevitore::unaConnessione() {
    QFETCH(QByteArray, dati);
    QFETCH(int, pausaMs);
    QFETCH(int, inattese);
    QFETCH(QString, verdetto);
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    RicevitoreInProva r(opzioniDiProva(dir));
    std::vector<int> inattive; // accepted before the frame: the kernel's queue is in order
    for (int i = 0; i < inattese; ++i)
        inattive.push_back(connetti(r.porta(), "127.0.0.4"));
    const int fd = connetti(r.porta(), "127.0.0.4");
    const auto primi = std::min<qsizetype>(dati.size(), pausaMs ? 5 : dati.size());
    (void)!::write(fd, dati.constData(), primi);
    std::this_thread::sleep_for(std::chrono::milliseconds(pausaMs));
    (void)!::write(fd, dati.constData() + primi, dati.size() - primi);
    ::close(fd);
    const auto esiti = r.attendi(1);
    for (const int fd : inattive)
        ::close(fd);
    QCOMPARE(verdetti(esiti).value(0), verdetto);
    QCOMPARE(esiti[0].accettato, verdetto == "accettato");
}

// At the cap, the oldest connection is closed to make room for a new one.
void TestRicevitore::laPiuVecchiaFaPosto() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    auto opzioni = opzioniDiProva(dir);
    opzioni.maxConnessioni = 8;
    opzioni.tempoMassimo = std::chrono::milliseconds(5000);
    RicevitoreInProva r(opzioni);
    std::vector<int> inattive; // accepted in this order, before the frame
    for (int i = 0; i < 8; ++i) {
        const std::string da = "127.0.0." + std::to_string(20 + i);
        inattive.push_back(connetti(r.porta(), da.c_str()));
    }
    r.invia(trama(7, 0, 501));
    const auto esiti = r.attendi(2);
    for (const int fd : inattive)
        ::close(fd);
    QCOMPARE(verdetti(esiti), QStringList({"rifiutato: troppe connessioni", "accettato"}));
    QCOMPARE(esiti[0].indirizzo, std::string("127.0.0.20"));
}

// Eight transmitters at once, each from an address of its own, beside idle connections: every
// frame is judged, none is logged before its state is on disk, and each ends at its last step.
void TestRicevitore::clientConcorrenti() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), // each one's next step is 1
           "pulsiero-ricevitore stato 1\n1 65535\n2 65535\n3 65535\n4 65535\n5 65535\n6 65535\n"
           "7 65535\n8 65535\ncontrollo 8ACFE47E\n");
    auto opzioni = opzioniDiProva(dir);
    opzioni.maxConnessioni = 16;
    RicevitoreInProva r(opzioni);
    std::vector<int> inattive;
    for (int i = 0; i < 12; ++i)
        inattive.push_back(connetti(r.porta(), ("127.0.0." + std::to_string(50 + i)).c_str()));
    std::vector<std::thread> clienti;
    for (int t = 1; t <= 8; ++t)
        clienti.emplace_back([&r, t] {
            const std::string da = "127.0.0." + std::to_string(30 + t);
            for (int passo = 1; passo <= 25; ++passo)
                r.invia(trama(t, passo % 4, passo), da.c_str());
        });
    for (auto& c : clienti)
        c.join();
    const auto esiti = r.attendi(12 + 8 * 25, 15000);
    for (const int fd : inattive)
        ::close(fd);
    int accettati = 0;
    for (const auto& e : esiti)
        accettati += e.accettato;
    QCOMPARE(accettati, 8 * 25);
    QCOMPARE(r.nonSalvati(), 0);
    QCOMPARE(leggi(dir.filePath("stato")),
             QByteArray("pulsiero-ricevitore stato 1\n1 25\n2 25\n3 25\n4 25\n5 25\n6 25\n7 25\n"
                        "8 25\ncontrollo 5A1C6FA7\n"));
}

void TestRicevitore::limiteDeiFileAperti_data() {
    QTest::addColumn<QString>("cap");
    QTest::addColumn<int>("stato"); // -1: it started, and was stopped by the test
    // A limit of 256 open files, one listener and 64 kept for the rest: 191 fit.
    QTest::newRow("191 connections") << "191" << -1;
    QTest::newRow("192 connections") << "192" << 1;
}

void TestRicevitore::limiteDeiFileAperti() {
    QFETCH(QString, cap);
    QFETCH(int, stato);
    QTemporaryDir dir;
    ProgrammaInProva p;
    p.avvia({"--porta", "0", "--stato", dir.filePath("stato"), "--max-connessioni", cap}, false,
            {"prlimit", "--nofile=256:256"});
    const auto [codice, errori] = p.uscita();
    QCOMPARE(codice, stato);
    if (stato == 1)
        QVERIFY2(errori.contains("--max-connessioni 192 supera il limite dei file aperti (256"),
                 qPrintable(errori));
}

// With no descriptor left, a waiting connection cannot be accepted: the loop pauses instead of
// polling the listener in a tight loop, and takes the connection once descriptors are back. The
// bound on CPU time can only err towards passing on a busy machine, never towards failing.
void TestRicevitore::senzaDescrittoriNonGira() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    RicevitoreInProva r(opzioniDiProva(dir));
    // Started now: later there is no descriptor left for its pipes, so it is told to connect by a
    // folder made with no descriptor (a sanitizer's checks may also need one).
    const QString via = dir.filePath("via");
    QProcess cliente;
    cliente.start("bash", {"-c", "for i in $(seq 100); do [ -d '" + via +
                                     "' ] && break; sleep 0.05; done; exec 3<>/dev/tcp/127.0.0.1/" +
                                     QString::number(r.porta()) + "; sleep 3"});
    QVERIFY(cliente.waitForStarted());
    rlimit prima{};
    getrlimit(RLIMIT_NOFILE, &prima);
    rlimit stretto = prima;
    stretto.rlim_cur = 256;
    setrlimit(RLIMIT_NOFILE, &stretto);
    std::vector<int> occupati;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        occupati.push_back(fd);
    ::mkdir(QFile::encodeName(via).constData(), 0700);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the connection is queued
    const auto cpuPrima = r.tempoCpu();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto cpu = r.tempoCpu() - cpuPrima;
    for (const int fd : occupati)
        ::close(fd);
    setrlimit(RLIMIT_NOFILE, &prima);
    QVERIFY2(cpu < std::chrono::milliseconds(250), qPrintable(QString::number(cpu.count())));
    QCOMPARE(verdetti(r.attendi(1)), QStringList{"rifiutato: tempo scaduto"});
    cliente.kill();
    cliente.waitForFinished(2000);
}

// Nobody reads the pipe: adding lines never waits, what was dropped is counted, and no accepted
// frame's line is ever among the dropped.
void TestRicevitore::registroNonBlocca() {
    int tubo[2];
    QCOMPARE(::pipe2(tubo, O_CLOEXEC), 0);
    int accettate = 0, rifiutate = 0;
    std::uint64_t perse = 0;
    std::optional<ricevitore::CodaRegistro> registro(std::in_place, tubo[1], false, 100);
    for (int i = 0; i < 5000; ++i) {
        ricevitore::Esito e;
        e.peer = "127.0.0.1:" + std::to_string(i);
        e.accettato = i % 2 == 0;
        e.verdetto = e.accettato ? "accettato" : "rifiutato: trama non valida";
        registro->aggiungi(std::move(e));
    }
    // Only now drain the pipe, while the writer finishes.
    std::thread lettore([&] {
        QByteArray tutto;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(tubo[0], buffer, sizeof buffer)) > 0)
            tutto.append(buffer, n);
        for (const auto& riga : tutto.split('\n')) {
            accettate += riga.endsWith("-> accettato");
            rifiutate += riga.endsWith("-> rifiutato: trama non valida");
            const auto dove = riga.indexOf(" righe del registro perse (coda piena), tutte di trame "
                                           "rifiutate");
            if (dove > 0)
                perse += riga.left(dove).split(' ').last().toULongLong();
        }
    });
    registro.reset();
    ::close(tubo[1]);
    lettore.join();
    ::close(tubo[0]);
    QVERIFY(perse > 0);
    QCOMPARE(accettate, 2500);
    QCOMPARE(rifiutate + perse, std::uint64_t{2500});
}

// Refusals from 2000 addresses in a burst: a few dozen lines, and every refusal counted.
void TestRicevitore::rifiutiDaMoltiIndirizzi() {
    QTemporaryFile uscita;
    QVERIFY(uscita.open());
    {
        ricevitore::CodaRegistro registro(uscita.handle(), false, 100000);
        for (int i = 0; i < 2000; ++i) {
            ricevitore::Esito e;
            e.indirizzo = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250);
            e.peer = e.indirizzo + ":4000";
            e.motivo = "trama_non_valida";
            e.verdetto = "rifiutato: trama non valida";
            registro.aggiungi(std::move(e));
        }
    }
    const auto righe = leggi(uscita.fileName()).trimmed().split('\n');
    QVERIFY2(righe.size() <= 30, qPrintable(QString::number(righe.size())));
    qint64 contati = 0;
    for (const auto& riga : righe) {
        const auto altre = riga.indexOf("(altre ");
        contati += altre < 0 ? 1 : riga.mid(altre + 7).split(' ').first().toLongLong();
    }
    QCOMPARE(contati, 2000);
}

// The first refusal of a kind from an address is written at once, the rest summed up; accepted
// frames and other kinds of refusal are each written whole.
void TestRicevitore::rifiutiUgualiRiassunti() {
    QTemporaryFile uscita;
    QVERIFY(uscita.open());
    {
        ricevitore::CodaRegistro registro(uscita.handle(), false);
        for (const char* da : {"9r", "9r", "8r", "9r", "9t", "9r", "9a", "9a"}) {
            ricevitore::Esito e;
            e.indirizzo = std::string("127.0.0.") + da[0];
            e.peer = e.indirizzo + ":4000";
            e.motivo = da[1] == 'r' ? "ripetizione" : da[1] == 't' ? "trama_non_valida" : "";
            e.verdetto = da[1] == 'r'   ? "rifiutato: ripetizione rifiutata"
                         : da[1] == 't' ? "rifiutato: trama non valida"
                                        : "accettato";
            e.trama = da[1] == 't' ? "AB\x7F\"" : "FCFC6781D5A7CFFE0AA";
            if (da[1] != 't')
                e.pulsiero = 7, e.tasto = 2, e.minuto = 630, e.casuale = 5, e.passo = 501;
            if (da[1] == 'a')
                e.passoMemorizzato = 500, e.accettato = true;
            registro.aggiungi(std::move(e));
        }
    }
    QStringList intere;
    int riassunte9 = 0;
    for (const auto& riga : leggi(uscita.fileName()).split('\n')) {
        const auto dove = riga.indexOf("127.0.0.9 -> rifiutato: ripetizione rifiutata (altre ");
        if (dove >= 0)
            riassunte9 += riga.mid(dove + 53).split(' ').first().toInt();
        else if (!riga.isEmpty())
            intere << QString::fromUtf8(riga.mid(20)); // after the date and time
    }
    const QString passo =
        " \"FCFC6781D5A7CFFE0AA\" pulsiero=7 tasto=3 minuto=630 casuale=5 passo=501";
    QCOMPARE(intere, QStringList({"127.0.0.9:4000" + passo +
                                      " memorizzato=- -> rifiutato: "
                                      "ripetizione rifiutata",
                                  "127.0.0.8:4000" + passo +
                                      " memorizzato=- -> rifiutato: "
                                      "ripetizione rifiutata",
                                  "127.0.0.9:4000 \"AB\\x7F\\x22\" pulsiero=- tasto=- minuto=- "
                                  "casuale=- passo=- memorizzato=- -> rifiutato: trama non valida",
                                  "127.0.0.9:4000" + passo + " memorizzato=500 -> accettato",
                                  "127.0.0.9:4000" + passo + " memorizzato=500 -> accettato"}));
    QCOMPARE(riassunte9, 3);
}

// A refused peer's bytes made up like fields and a verdict stay inside their quotes: nothing in
// them matches what a tool looks for in the line.
void TestRicevitore::nessunCampoFinto() {
    ricevitore::Esito e;
    e.peer = "127.0.0.1:5000";
    e.trama = "x pulsiero=7 tasto=1 passo=9 -> accettato";
    e.verdetto = "rifiutato: trama non valida";
    e.motivo = "trama_non_valida";
    const auto riga = QString::fromStdString(ricevitore::rigaTesto(e, "2026-12-07 11:00:00"));
    QVERIFY2(!riga.contains("-> accettato"), qPrintable(riga));
    QCOMPARE(riga.count("pulsiero="), 1);
    QVERIFY2(riga.contains("\"x\\x20pulsiero\\x3D7\\x20"), qPrintable(riga)); // blanks too
    QVERIFY2(riga.endsWith(" pulsiero=- tasto=- minuto=- casuale=- passo=- memorizzato=- -> "
                           "rifiutato: trama non valida"),
             qPrintable(riga));
}

void TestRicevitore::jsonValido_data() {
    QTest::addColumn<QByteArray>("dati");
    QTest::newRow("quote and backslash") << QByteArray("FF\"E\\7");
    QTest::newRow("control bytes") << QByteArray("\x01\n\t\x1F\x7F", 5);
    QTest::newRow("nul") << QByteArray("A\0B", 3);
    QTest::newRow("invalid UTF-8") << QByteArray("\xFF\xC3(\x80\xE2\x82", 6);
}

// Whatever bytes came, the line parses, and the frame's bytes come back as Latin-1.
void TestRicevitore::jsonValido() {
    QFETCH(QByteArray, dati);
    ricevitore::Esito e;
    e.peer = "127.0.0.1:5000";
    e.trama = dati.toStdString();
    e.verdetto = "rifiutato: trama non valida";
    e.motivo = "trama_non_valida";
    QJsonParseError errore{};
    const auto json = QJsonDocument::fromJson(
        QByteArray::fromStdString(ricevitore::rigaJson(e, "2026-12-07 11:00:00")), &errore);
    QCOMPARE(errore.error, QJsonParseError::NoError);
    const auto oggetto = json.object();
    QCOMPARE(oggetto["trama"].toString().toLatin1(), dati);
    QCOMPARE(oggetto["accettato"].toBool(true), false);
    QCOMPARE(oggetto["motivo"].toString(), QString("trama_non_valida"));
}

// Arguments, and a child that starts clean: nothing ignored, nothing blocked.
void TestRicevitore::programmaPerOgniTramaAccettata() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    const QString uscita = dir.filePath("argomenti");
    scrivi(dir.filePath("azione.sh"), "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + uscita.toUtf8() +
                                          "'\nexec grep -E '^Sig(Ign|Blk)' /proc/self/status >> '" +
                                          uscita.toUtf8() + "'\n");
    QFile::setPermissions(dir.filePath("azione.sh"), QFile::ReadOwner | QFile::ExeOwner);
    auto opzioni = opzioniDiProva(dir);
    opzioni.programma = dir.filePath("azione.sh").toStdString();
    RicevitoreInProva r(opzioni);
    r.invia(trama(7, 2, 501));
    r.invia(trama(7, 2, 501)); // refused: no run
    QCOMPARE(r.attendi(2).size(), std::size_t{2});
    QTRY_VERIFY(leggi(uscita).count('\n') == 2);
    const auto righe = leggi(uscita).split('\n');
    QCOMPARE(righe[0], QByteArray("3|7|501|SigBlk:\t0000000000000000"));
    // Signals 1 to 31 (SIGPIPE and SIGXFSZ are ignored by the receiver); above them, glibc's own.
    QVERIFY(righe[1].startsWith("SigIgn:\t"));
    QCOMPARE(righe[1].mid(8).toULongLong(nullptr, 16) & 0x7FFFFFFF, 0ull);
}

void TestRicevitore::programmiLimitati_data() {
    QTest::addColumn<QByteArray>("script"); // empty: a program that does not exist
    QTest::addColumn<int>("massimo");
    QTest::addColumn<int>("limiteMs");
    QTest::addColumn<int>("trame");
    QTest::addColumn<QString>("riga");
    QTest::newRow("missing program")
        << QByteArray() << 8 << 10000 << 1 << "programma non avviato: ";
    QTest::newRow("exit status 3")
        << QByteArray("exit 3") << 8 << 10000 << 1 << ") terminato con stato 3";
    QTest::newRow("overdue killed with what it started") // the child's pid left beside it
        << QByteArray("sleep 30 & echo $! > \"$0.figlio\"; wait") << 8 << 300 << 1
        << ") ucciso dopo 300 ms";
    QTest::newRow("one too many") << QByteArray("exec sleep 2") << 1 << 10000 << 2
                                  << "programma non avviato: già 1 in esecuzione";
}

void TestRicevitore::programmiLimitati() {
    QFETCH(QByteArray, script);
    QFETCH(int, massimo);
    QFETCH(int, limiteMs);
    QFETCH(int, trame);
    QFETCH(QString, riga);
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    auto opzioni = opzioniDiProva(dir);
    opzioni.programma = dir.filePath("azione.sh").toStdString();
    if (!script.isEmpty()) {
        scrivi(dir.filePath("azione.sh"), "#!/bin/sh\n" + script + "\n");
        QFile::setPermissions(dir.filePath("azione.sh"), QFile::ReadOwner | QFile::ExeOwner);
    }
    opzioni.maxProgrammi = static_cast<std::size_t>(massimo);
    opzioni.limiteProgramma = std::chrono::milliseconds(limiteMs);
    RicevitoreInProva r(opzioni);
    for (int i = 0; i < trame; ++i)
        r.invia(trama(7, 0, 501 + i));
    const auto trovata = [&] {
        for (const auto& e : r.esiti())
            if (QString::fromStdString(e.verdetto).contains(riga) && !e.accettato)
                return true;
        return false;
    };
    QVERIFY2(QTest::qWaitFor(trovata, 5000), qPrintable(verdetti(r.esiti()).join('\n')));
    const auto figlio = leggi(dir.filePath("azione.sh.figlio")).trimmed();
    if (!figlio.isEmpty()) // gone, or a zombie waiting for whoever inherited it
        QTRY_VERIFY(leggi("/proc/" + figlio + "/stat").split(' ').value(2, "Z") == "Z");
}

// Two slots: transmitter 9 holds one, its next frames are refused without using their step, and
// transmitter 7 still runs. Each run leaves "transmitter step" in the file.
void TestRicevitore::programmiCondivisi() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"),
           QByteArray::fromStdString(rolling::serialize({{7, 500}, {9, 500}})));
    const QString eseguiti = dir.filePath("eseguiti");
    scrivi(dir.filePath("azione.sh"),
           "#!/bin/sh\necho \"$2 $3\" >> '" + eseguiti.toUtf8() + "'\nexec sleep 3\n");
    QFile::setPermissions(dir.filePath("azione.sh"), QFile::ReadOwner | QFile::ExeOwner);
    auto opzioni = opzioniDiProva(dir);
    opzioni.programma = dir.filePath("azione.sh").toStdString();
    opzioni.maxProgrammi = 2;
    RicevitoreInProva r(opzioni);
    for (const auto& [pulsiero, passo] : {std::pair{9, 501}, {9, 502}, {9, 503}, {7, 501}}) {
        const auto prima = r.esiti().size();
        r.invia(trama(pulsiero, 0, passo), pulsiero == 9 ? "127.0.0.9" : "127.0.0.7");
        r.attendi(prima + 1);
    }
    QStringList motivi;
    for (const auto& e : r.esiti())
        motivi << QString::fromStdString(e.motivo);
    QCOMPARE(motivi, QStringList({"accettato", "programma_non_avviato", "programma_non_avviato",
                                  "accettato"}));
    QTRY_COMPARE(leggi(eseguiti), QByteArray("9 501\n7 501\n"));
    QCOMPARE(leggi(dir.filePath("stato")),
             QByteArray::fromStdString(rolling::serialize({{7, 501}, {9, 501}})));
}

// One process on 127.0.0.1 and ::1 at once.
void TestRicevitore::piuIndirizziEIpv6() {
    const int prova = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    const bool ipv6 = prova >= 0 && ::bind(prova, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(prova);
    if (!ipv6)
        QSKIP("no IPv6 loopback here");
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    auto opzioni = opzioniDiProva(dir);
    opzioni.indirizzi = {"127.0.0.1", "::1"};
    RicevitoreInProva r(opzioni);
    r.invia(trama(7, 0, 501), "::1");
    QCOMPARE(r.attendi(1).size(), std::size_t{1});
    r.invia(trama(7, 0, 502), "127.0.0.1");
    const auto esiti = r.attendi(2);
    QCOMPARE(verdetti(esiti), QStringList({"accettato", "accettato"}));
    QVERIFY(QString::fromStdString(esiti[0].peer).startsWith("[::1]:"));
    QCOMPARE(esiti[0].indirizzo, std::string("::1"));
}

// The installed program end to end: JSON lines on stdout, what --esegui prints on stderr, never
// among them; a window of 3 and a resync range of 20 from the command line (501 + 4 waits for a
// pair, 501 + 25 is too far).
void TestRicevitore::uscitaDelProgrammaFuoriDalRegistro() {
    QTemporaryDir dir;
    scrivi(dir.filePath("stato"), kSette500);
    scrivi(dir.filePath("azione.sh"), "#!/bin/sh\necho '{\"accettato\":true,\"intruso\":1}'\n");
    QFile::setPermissions(dir.filePath("azione.sh"), QFile::ReadOwner | QFile::ExeOwner);
    ProgrammaInProva r;
    QVERIFY(r.avvia({"--porta", "0", "--ricevitore", "12345", "--json", "--stato",
                     dir.filePath("stato"), "--esegui", dir.filePath("azione.sh"), "--finestra",
                     "3", "--risincronizzazione", "20"},
                    false));
    for (const auto& dati :
         {trama(7, 1, 501), std::string("\xFF\"\n", 3), trama(7, 1, 505), trama(7, 1, 526)})
        r.invia(dati);
    r.righe(4, "intruso");
    r.ferma();
    QStringList motivi;
    for (const auto& riga : r.righe(4)) {
        QVERIFY(!riga.contains("intruso"));
        motivi << motivo(riga);
    }
    QCOMPARE(motivi, QStringList({"accettato", "trama_non_valida", "risincronizzazione_in_attesa",
                                  "troppo_avanti"}));
}

// listen() fails after bind() succeeded (a fault injected by strace): the receiver stops with
// the reason rather than say it listens.
// Failures injected into the real program's system calls: a listener that cannot listen stops
// it; the port the system picked for the first address, held by someone else on the second,
// makes it pick another for all.
void TestRicevitore::ascoltoFallito_data() {
    QTest::addColumn<QString>("iniezione");
    QTest::addColumn<QStringList>("indirizzi");
    QTest::addColumn<QString>("atteso");
    QTest::addColumn<bool>("termina"); // with status 1, or keeps listening
    QTest::newRow("listen fails") << "listen:error=EADDRINUSE" << QStringList()
                                  << "Impossibile ascoltare su 127.0.0.1 porta 0: Address already "
                                     "in use"
                                  << true;
    QTest::newRow("port 0 in use on the second address")
        << "bind:error=EADDRINUSE:when=2"
        << QStringList{"--indirizzo", "127.0.0.2", "--indirizzo", "127.0.0.3"}
        << "in ascolto su 127.0.0.2, 127.0.0.3 porta" << false;
}

void TestRicevitore::ascoltoFallito() {
    QFETCH(QString, iniezione);
    QFETCH(QStringList, indirizzi);
    QFETCH(QString, atteso);
    QFETCH(bool, termina);
    if (QStandardPaths::findExecutable("strace").isEmpty())
        QSKIP("strace is not installed");
    QTemporaryDir dir;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString chiamata = iniezione.section(':', 0, 0);
    p.start("strace", QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + chiamata, "-e",
                                  "inject=" + iniezione, RICEVITORE, "--porta", "0", "--stato",
                                  dir.filePath("stato")} +
                          indirizzi);
    QString uscita;
    const bool visto = QTest::qWaitFor(
        [&] {
            uscita += QString::fromUtf8(p.readAll());
            return uscita.contains(atteso) || p.state() == QProcess::NotRunning;
        },
        10000);
    if (termina)
        p.waitForFinished(5000);
    const bool terminato = p.state() == QProcess::NotRunning;
    const int stato = p.exitCode();
    p.kill();
    p.waitForFinished();
    uscita += QString::fromUtf8(p.readAll());
    if (uscita.contains("ptrace"))
        QSKIP(qPrintable("strace cannot trace here: " + uscita));
    QVERIFY2(visto && uscita.contains(atteso), qPrintable(uscita));
    QCOMPARE(terminato, termina);
    if (termina)
        QCOMPARE(stato, 1);
}

void TestRicevitore::portaPrivilegiata() {
    if (radice())
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
