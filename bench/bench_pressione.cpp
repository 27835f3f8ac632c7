// Cost of one key press: from the click to a loopback listener holding every byte of the frame,
// including the locked, durable write of the step counter; beside it the floor, a plain POSIX
// connect-send-close plus one write-temp-fsync-rename of the same file. Also the per-press cost
// of CreaComando against a plain in-place write, and whether a press without a configured sound
// ever loads a multimedia backend. Press and CreaComando run with and without a key.
#include "core/CreaComando.h"
#include "core/IniFile.h"
#include "qt/platform/Configurazione.h"
#include "qt/platform/Trasmettitore.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Accepts connections on 127.0.0.1 and records when each one's bytes have all arrived.
class Ricevitore {
public:
    explicit Ricevitore(std::size_t attesi) : attesi_(attesi) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 64);
        socklen_t l = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &l);
        porta_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { servi(); });
    }
    ~Ricevitore() {
        fine_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    quint16 porta() const { return porta_; }

    // Waits for the next connection to be read in full; returns when that happened.
    Clock::time_point attendi() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return pronto_; });
        pronto_ = false;
        return quando_;
    }

private:
    void servi() {
        while (!fine_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0)
                return;
            char buf[64];
            std::size_t letti = 0;
            while (letti < attesi_) {
                const ssize_t n = ::read(c, buf, sizeof buf);
                if (n <= 0)
                    break;
                letti += static_cast<std::size_t>(n);
            }
            const auto t = Clock::now();
            ::close(c);
            std::lock_guard lock(mutex_);
            quando_ = t;
            pronto_ = true;
            cv_.notify_one();
        }
    }

    std::size_t attesi_;
    int fd_ = -1;
    quint16 porta_ = 0;
    std::thread thread_;
    std::atomic<bool> fine_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    bool pronto_ = false;
    Clock::time_point quando_;
};

void scrivi(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

// With a key, every frame also carries its wrap count and MAC: 56 bytes instead of 19.
constexpr std::size_t kByteTrama = 19;
constexpr std::size_t kByteTramaConChiave = 56;
const QByteArray kRigaChiave =
    "Chiave=000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F\n";

QByteArray fileImpostazioni(quint16 porta, bool conChiave = false) {
    return "[Server]\nIndirizzo=127.0.0.1\nPorta=" + QByteArray::number(porta) +
           "\n[Pulsiero]\nnome=Cancello\nID_Pul=1\nID_Dis=1\nt1=Apri\nt2=Chiudi\nt3=Luce\n"
           "t4=Allarme\nSuono=\nPasso=0\n" +
           (conChiave ? kRigaChiave : QByteArray());
}

// A transmitter configured for a listening receiver, as the program has it after start-up.
struct Banco {
    QTemporaryDir dir;
    Ricevitore ricevitore;
    pulsiero::Configurazione configurazione;
    pulsiero::Trasmettitore trasmettitore;

    explicit Banco(bool conChiave = false)
        : ricevitore(conChiave ? kByteTramaConChiave : kByteTrama),
          configurazione(preparaFile(dir, ricevitore.porta(), conChiave)),
          trasmettitore(configurazione) {
        configurazione.CaricaConfigurazione(false);
    }
    static QString preparaFile(const QTemporaryDir& dir, quint16 porta, bool conChiave) {
        const QString path = dir.filePath("pulsiero.ini");
        scrivi(path, fileImpostazioni(porta, conChiave));
        return path;
    }
};

// Argument 1: the settings file holds a key, so the frame is authenticated.
void BM_PressioneFinoAlFilo(benchmark::State& state) {
    Banco banco(state.range(0) != 0);
    auto& trasmettitore = banco.trasmettitore;
    auto& ricevitore = banco.ricevitore;
    trasmettitore.impostaOrologio([] { return pulsiero::Momento{630, 5}; });
    bool concluso = false;
    QObject::connect(&trasmettitore, &pulsiero::Trasmettitore::consegnaConclusa,
                     [&](bool) { concluso = true; });
    for (auto _ : state) {
        concluso = false;
        const auto inizio = Clock::now();
        trasmettitore.Img_Pulsante_Click(0);
        while (!concluso)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto arrivo = ricevitore.attendi();
        state.SetIterationTime(std::chrono::duration<double>(arrivo - inizio).count());
    }
}
BENCHMARK(BM_PressioneFinoAlFilo)
    ->ArgName("chiave")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The least a durable replace can cost: a temporary file written, flushed and renamed over the
// file, then the folder flushed; no lock, no checks.
void sostituisciNudo(const std::string& path, const std::string& contenuto) {
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    (void)!::write(fd, contenuto.data(), contenuto.size());
    ::fsync(fd);
    ::close(fd);
    ::rename(temp.c_str(), path.c_str());
    const int cartella = ::open(path.substr(0, path.rfind('/')).c_str(), O_RDONLY | O_CLOEXEC);
    ::fsync(cartella);
    ::close(cartella);
}

void BM_PavimentoPosix(benchmark::State& state) {
    QTemporaryDir dir;
    Ricevitore ricevitore(19);
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    const std::string contenuto = fileImpostazioni(ricevitore.porta()).toStdString();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(ricevitore.porta());
    for (auto _ : state) {
        const auto inizio = Clock::now();
        sostituisciNudo(path, contenuto);
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::send(c, "FFFFE7E1F589AFFFFE8", 19, 0);
        ::close(c);
        const auto arrivo = ricevitore.attendi();
        state.SetIterationTime(std::chrono::duration<double>(arrivo - inizio).count());
    }
}
BENCHMARK(BM_PavimentoPosix)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_CreaComando(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    scrivi(QString::fromStdString(path), fileImpostazioni(100, state.range(0) != 0));
    pulsiero::Impostazioni imp;
    imp.carica(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(pulsiero::CreaComando(0, imp, path, {630, 5}));
}
BENCHMARK(BM_CreaComando)->ArgName("chiave")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What a write costs without the lock, the temporary file, fsync and rename: the file
// rewritten in place, as the original platform did.
void BM_ScritturaSulPosto(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("pulsiero.ini").toStdString();
    scrivi(QString::fromStdString(path), fileImpostazioni(100));
    int passo = 0;
    for (auto _ : state) {
        auto doc = pulsiero::ini::loadDocument(path);
        doc.setValue("Pulsiero", "Passo", std::to_string(++passo));
        std::ofstream(path, std::ios::binary | std::ios::trunc) << doc.toBytes();
    }
}
BENCHMARK(BM_ScritturaSulPosto)->Unit(benchmark::kMicrosecond);

bool backendMultimedialeCaricato() {
    std::ifstream maps("/proc/self/maps");
    std::string riga;
    while (std::getline(maps, riga))
        if (riga.find("mediaplugin") != std::string::npos)
            return true;
    return false;
}

// Records, as counters, that a press without a sound never creates the player.
void BM_PressioneSenzaSuono(benchmark::State& state) {
    Banco banco;
    auto& trasmettitore = banco.trasmettitore;
    auto& ricevitore = banco.ricevitore;
    int suoni = 0;
    QObject::connect(&trasmettitore, &pulsiero::Trasmettitore::suonaTasto,
                     [&suoni](const QString&) { ++suoni; });
    for (auto _ : state) {
        trasmettitore.Img_Pulsante_Click(0);
        while (trasmettitore.inCorso())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ricevitore.attendi();
    }
    state.counters["suono_chiesto"] = suoni;
    state.counters["backend_caricato"] = backendMultimedialeCaricato() ? 1 : 0;
}
BENCHMARK(BM_PressioneSenzaSuono)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
