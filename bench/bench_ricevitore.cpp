// Receiver throughput: frames decoded, judged, saved and logged per second with many loopback
// clients, beside the floor of a plain POSIX accept-read-close loop fed by the same clients.
// And the receiver under attack: genuine presses from 127.0.0.1 while 300 idle or slow clients
// hold connections from many loopback addresses or from one.
#include "core/FileSystem.h"
#include "core/Frame.h"
#include "ricevitore/ServerRicevitore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxClienti = 8;
constexpr int kTramePerGiro = 2000;

// Each connection leaves a TIME_WAIT socket behind on the client's side; spreading the clients
// over source addresses of the loopback range keeps the kernel's search for a free port short.
int connetti(std::uint16_t porta, int cliente, int numero) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sorgente{};
    sorgente.sin_family = AF_INET;
    sorgente.sin_addr.s_addr = htonl((127u << 24) | (static_cast<unsigned>(cliente + 1) << 16) |
                                     (static_cast<unsigned>(numero % 250 + 1) << 8) | 1u);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sorgente), sizeof sorgente);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(porta);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

std::int16_t minutoAdesso() {
    const std::time_t t = std::time(nullptr);
    std::tm l{};
    localtime_r(&t, &l);
    return static_cast<std::int16_t>(l.tm_hour * 60 + l.tm_min);
}

// Client threads, each sending its transmitter's next frames on connections of their own.
void carico(std::uint16_t porta, int numeroClienti, std::array<int, kMaxClienti + 1>& passi) {
    const std::int16_t minuto = minutoAdesso();
    std::vector<std::thread> clienti;
    for (int t = 1; t <= numeroClienti; ++t)
        clienti.emplace_back([&, t] {
            for (int i = 0; i < kTramePerGiro / numeroClienti; ++i) {
                passi[t] = passi[t] % 65535 + 1;
                const auto trama = *pulsiero::frame::build({1, t, 0, minuto, 3, passi[t]});
                const int fd = connetti(porta, t, i);
                (void)!::write(fd, trama.data(), trama.size());
                ::close(fd);
            }
        });
    for (auto& c : clienti)
        c.join();
}

void attendi(const std::atomic<int>& contatore, int obiettivo) {
    while (contatore.load() < obiettivo)
        std::this_thread::yield();
}

// A private folder under /tmp for one benchmark's state file, removed with everything in it.
class CartellaTemporanea {
public:
    CartellaTemporanea() {
        char modello[] = "/tmp/bench-ricevitore-XXXXXX";
        if (::mkdtemp(modello) != nullptr)
            percorso_ = modello;
    }
    ~CartellaTemporanea() {
        if (percorso_.empty())
            return;
        std::error_code errore; // a folder left behind in /tmp is no reason to fail
        std::filesystem::remove_all(percorso_, errore);
    }
    CartellaTemporanea(const CartellaTemporanea&) = delete;
    CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;

    bool creata() const { return !percorso_.empty(); }
    std::string file(const char* nome) const { return percorso_ + "/" + nome; }

private:
    std::string percorso_;
};

// A receiver on a loopback port of its own over a fresh state file holding iniziale, in a
// private folder that is removed once the server is gone.
class RicevitoreNuovo {
public:
    RicevitoreNuovo(pulsiero::ricevitore::Opzioni opzioni,
                    const pulsiero::rolling::Tracker::Steps& iniziale) {
        if (!cartella_.creata())
            return;
        opzioni.porta = 0;
        opzioni.fileStato = cartella_.file("stato");
        (void)pulsiero::file::sostituisci(opzioni.fileStato,
                                          pulsiero::rolling::serialize(iniziale));
        server_.emplace(std::move(opzioni));
        server_->apri();
    }

    bool avviato() const { return server_.has_value(); }
    const CartellaTemporanea& cartella() const { return cartella_; }
    pulsiero::ricevitore::Server& server() { return *server_; }

private:
    CartellaTemporanea cartella_;
    std::optional<pulsiero::ricevitore::Server> server_;
};

void BM_Ricevitore(benchmark::State& state) {
    pulsiero::rolling::Tracker::Steps iniziale;
    for (int t = 1; t <= kMaxClienti; ++t)
        iniziale[t] = 65535;
    pulsiero::ricevitore::Opzioni opzioni;
    opzioni.tentativi = 1000000; // many clients share few addresses here: no blocks
    opzioni.maxPerIndirizzo = 1000;
    opzioni.politica.hourlyAdvance = 1 << 30; // thousands of frames per transmitter per run
    RicevitoreNuovo ricevitore(opzioni, iniziale);
    if (!ricevitore.avviato()) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    auto& server = ricevitore.server();
    std::atomic<int> gestite{0};
    std::atomic<int> accettate{0};
    server.impostaRegistro([&](const pulsiero::ricevitore::Esito& e) {
        accettate += e.accettato;
        ++gestite;
    });
    std::thread ciclo([&] { server.esegui(); });
    std::array<int, kMaxClienti + 1> passi{};
    passi.fill(65535);
    const int clienti = static_cast<int>(state.range(0));
    int obiettivo = 0;
    for (auto _ : state) {
        obiettivo += kTramePerGiro;
        carico(server.porta(), clienti, passi);
        attendi(gestite, obiettivo);
    }
    server.ferma();
    ciclo.join();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kTramePerGiro);
    state.counters["accettate_%"] = 100.0 * accettate / std::max(1, gestite.load());
}
BENCHMARK(BM_Ricevitore)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: accept, read to end of stream, close; nothing decoded, nothing saved.
void BM_PavimentoAcceptReadClose(benchmark::State& state) {
    const int ascolto = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(ascolto, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(ascolto, 128);
    socklen_t l = sizeof a;
    ::getsockname(ascolto, reinterpret_cast<sockaddr*>(&a), &l);
    std::atomic<int> gestite{0};
    std::atomic<bool> fine{false};
    std::thread ciclo([&] {
        char buffer[64];
        while (!fine) {
            const int c = ::accept(ascolto, nullptr, nullptr);
            if (c < 0)
                return;
            while (::read(c, buffer, sizeof buffer) > 0) {
            }
            ::close(c);
            ++gestite;
        }
    });
    std::array<int, kMaxClienti + 1> passi{};
    const int clienti = static_cast<int>(state.range(0));
    int obiettivo = 0;
    for (auto _ : state) {
        obiettivo += kTramePerGiro;
        carico(ntohs(a.sin_port), clienti, passi);
        attendi(gestite, obiettivo);
    }
    fine = true;
    ::shutdown(ascolto, SHUT_RDWR);
    ::close(ascolto);
    ciclo.join();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kTramePerGiro);
}
BENCHMARK(BM_PavimentoAcceptReadClose)
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Hostile clients: each holds a connection, idle or sending one byte a second, and opens a new
// one as soon as the receiver closes it.
class Attacco {
public:
    Attacco(std::uint16_t porta, int clienti, bool lenti, bool unIndirizzo)
        : porta_(porta), lenti_(lenti), unIndirizzo_(unIndirizzo), fd_(clienti, -1) {
        thread_ = std::thread([this] { esegui(); });
    }
    ~Attacco() {
        fine_ = true;
        thread_.join();
        for (const int fd : fd_)
            if (fd >= 0)
                ::close(fd);
    }
    int connessioniAperte() const { return aperte_; }

private:
    int apri(std::size_t i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in sorgente{};
        sorgente.sin_family = AF_INET;
        const unsigned host = unIndirizzo_ ? 2u : 2u + static_cast<unsigned>(i % 253);
        sorgente.sin_addr.s_addr = htonl((127u << 24) | host);
        ::bind(fd, reinterpret_cast<sockaddr*>(&sorgente), sizeof sorgente);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(porta_);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return fd;
    }
    void esegui() {
        using Orologio = std::chrono::steady_clock;
        auto prossimoByte = Orologio::now() + std::chrono::seconds(1);
        std::vector<pollfd> attese(fd_.size());
        while (!fine_) {
            int aperte = 0;
            for (std::size_t i = 0; i < fd_.size(); ++i) {
                if (fd_[i] < 0)
                    fd_[i] = apri(i);
                attese[i] = {fd_[i], POLLIN, 0};
                aperte += fd_[i] >= 0;
            }
            aperte_ = aperte;
            ::poll(attese.data(), attese.size(), 20);
            char buffer[16];
            for (std::size_t i = 0; i < fd_.size(); ++i)
                if (attese[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    if (::read(fd_[i], buffer, sizeof buffer) > 0)
                        continue;
                    ::close(fd_[i]); // closed by the receiver: come back at once
                    fd_[i] = -1;
                }
            if (lenti_ && Orologio::now() >= prossimoByte) {
                for (const int fd : fd_)
                    if (fd >= 0)
                        (void)!::write(fd, "F", 1);
                prossimoByte += std::chrono::seconds(1);
            }
        }
    }

    std::uint16_t porta_;
    bool lenti_;
    bool unIndirizzo_;
    std::vector<int> fd_;
    std::atomic<bool> fine_{false};
    std::atomic<int> aperte_{0};
    std::thread thread_;
};

// Genuine presses from 127.0.0.1, one every 50 ms, each timed from its connect to its verdict.
// Arguments: slow (1) or idle (0) attackers; from one address (1) or 127.0.0.2-254 (0); with
// (1) or without (0) the block after repeated refusals.
// The delay from each press (steps 1 and up) to its verdict, in ms; one never judged counts as
// 1e9 ms.
template <std::size_t N>
void aggiungiRitardi(const std::array<std::chrono::steady_clock::time_point, N>& inviate,
                     const std::array<std::chrono::steady_clock::time_point, N>& giudicate,
                     std::vector<double>& ritardi) {
    for (std::size_t i = 1; i < N; ++i)
        ritardi.push_back(
            giudicate[i] == std::chrono::steady_clock::time_point{}
                ? 1e9
                : std::chrono::duration<double, std::milli>(giudicate[i] - inviate[i]).count());
}

void BM_PressioniSottoAttacco(benchmark::State& state) {
    using Orologio = std::chrono::steady_clock;
    constexpr int kPressioni = 60;
    constexpr int kAttaccanti = 300;
    pulsiero::ricevitore::Opzioni opzioni;
    if (state.range(2) == 0) // without the per-address blocks: the bounds on connections alone
        opzioni.tentativi = 1000000;
    RicevitoreNuovo ricevitore(opzioni, {{7, 65535}});
    if (!ricevitore.avviato()) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    auto& server = ricevitore.server();
    std::mutex mutex;
    std::array<Orologio::time_point, kPressioni + 1> giudicate{};
    server.impostaRegistro([&](const pulsiero::ricevitore::Esito& e) {
        if (e.accettato && e.pulsiero == 7 && e.passo && *e.passo <= kPressioni) {
            std::lock_guard lock(mutex);
            giudicate[static_cast<std::size_t>(*e.passo)] = Orologio::now();
        }
    });
    std::thread ciclo([&] { server.esegui(); });
    std::vector<double> ritardi;
    for (auto _ : state) {
        Attacco attacco(server.porta(), kAttaccanti, state.range(0) == 1, state.range(1) == 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the attack is under way
        std::array<Orologio::time_point, kPressioni + 1> inviate{};
        const std::int16_t minuto = minutoAdesso();
        for (int passo = 1; passo <= kPressioni; ++passo) {
            const auto trama = *pulsiero::frame::build({1, 7, 0, minuto, 3, passo});
            inviate[static_cast<std::size_t>(passo)] = Orologio::now();
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); // from 127.0.0.1
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(server.porta());
            ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            (void)!::write(fd, trama.data(), trama.size());
            ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the last verdicts
        state.counters["connessioni_ostili"] = attacco.connessioniAperte();
        std::lock_guard lock(mutex);
        aggiungiRitardi(inviate, giudicate, ritardi);
    }
    server.ferma();
    ciclo.join();
    std::sort(ritardi.begin(), ritardi.end());
    const auto entro =
        std::count_if(ritardi.begin(), ritardi.end(), [](double ms) { return ms <= 400; });
    state.counters["entro_400ms_%"] = 100.0 * static_cast<double>(entro) /
                                      static_cast<double>(std::max<std::size_t>(1, ritardi.size()));
    state.counters["mediana_ms"] = ritardi[ritardi.size() / 2];
    state.counters["p95_ms"] = ritardi[ritardi.size() * 95 / 100];
}
BENCHMARK(BM_PressioniSottoAttacco)
    ->ArgNames({"lenti", "un_indirizzo", "blocchi"})
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({0, 1, 1})
    ->Args({1, 1, 1})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A flood from many loopback addresses: threads that connect as fast as they can, each time
// from another address of 127.64.0.0/10, and send nothing, a 65-byte line, or 19 random bytes.
class Inondazione {
public:
    Inondazione(std::uint16_t porta, int tipo) : porta_(porta), tipo_(tipo) {
        for (int t = 0; t < 3; ++t)
            thread_.emplace_back([this, t] { esegui(t); });
    }
    ~Inondazione() {
        fine_ = true;
        for (auto& t : thread_)
            t.join();
    }
    long connessioni() const { return connessioni_; }

private:
    void esegui(int thread) {
        std::uint32_t caso = 2463534242u + static_cast<std::uint32_t>(thread);
        const auto prossimo = [&caso] { // xorshift: cheap bytes, different every time
            caso ^= caso << 13;
            caso ^= caso >> 17;
            caso ^= caso << 5;
            return caso;
        };
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (long n = 0; !fine_ && std::chrono::steady_clock::now() < limite; ++n) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in sorgente{};
            sorgente.sin_family = AF_INET;
            sorgente.sin_addr.s_addr = htonl((127u << 24) | (64u << 16) | (prossimo() & 0x3FFFFF));
            ::bind(fd, reinterpret_cast<sockaddr*>(&sorgente), sizeof sorgente);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(porta_);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                std::string dati;
                if (tipo_ == 1)
                    dati = std::string(64, 'F') + "\n";
                else if (tipo_ == 2)
                    for (int i = 0; i < 19; ++i)
                        dati += static_cast<char>(prossimo());
                (void)!::write(fd, dati.data(), dati.size());
                ++connessioni_;
            }
            ::close(fd);
        }
    }

    std::uint16_t porta_;
    int tipo_;
    std::atomic<bool> fine_{false};
    std::atomic<long> connessioni_{0};
    std::vector<std::thread> thread_;
};

// Genuine presses from 127.0.0.1 every 50 ms during a flood, with the real log (text, to a file):
// the share judged within 400 ms, and the log's bytes scaled to 15 s of flood.
// Argument: nothing (0), 65-byte lines (1) or random bytes (2) on each hostile connection.
void BM_PressioniSottoInondazione(benchmark::State& state) {
    using Orologio = std::chrono::steady_clock;
    constexpr int kPressioni = 60;
    RicevitoreNuovo ricevitore({}, {{7, 65535}});
    if (!ricevitore.avviato()) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    auto& server = ricevitore.server();
    const std::string fileRegistro = ricevitore.cartella().file("registro");
    const int registro = ::open(fileRegistro.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::optional<pulsiero::ricevitore::CodaRegistro> coda(std::in_place, registro, false);
    std::mutex mutex;
    std::array<Orologio::time_point, kPressioni + 1> giudicate{};
    server.impostaRegistro([&](pulsiero::ricevitore::Esito e) {
        if (e.accettato && e.pulsiero == 7 && e.passo && *e.passo <= kPressioni) {
            std::lock_guard lock(mutex);
            giudicate[static_cast<std::size_t>(*e.passo)] = Orologio::now();
        }
        coda->aggiungi(std::move(e));
    });
    std::thread ciclo([&] { server.esegui(); });
    clockid_t orologioCiclo{};
    pthread_getcpuclockid(ciclo.native_handle(), &orologioCiclo);
    const auto cpuCiclo = [&] {
        timespec t{};
        clock_gettime(orologioCiclo, &t);
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
    };
    const double cpuPrima = cpuCiclo();
    std::vector<double> ritardi;
    double secondi = 0;
    long ostili = 0;
    for (auto _ : state) {
        const auto inizio = Orologio::now();
        Inondazione inondazione(server.porta(), static_cast<int>(state.range(0)));
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the flood is under way
        std::array<Orologio::time_point, kPressioni + 1> inviate{};
        const std::int16_t minuto = minutoAdesso();
        for (int passo = 1; passo <= kPressioni; ++passo) {
            const auto trama = *pulsiero::frame::build({1, 7, 0, minuto, 3, passo});
            inviate[static_cast<std::size_t>(passo)] = Orologio::now();
            const int fd = connetti(server.porta(), -1, 0); // from 127.0.1.1
            (void)!::write(fd, trama.data(), trama.size());
            ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the last verdicts
        ostili += inondazione.connessioni();
        secondi += std::chrono::duration<double>(Orologio::now() - inizio).count();
        std::lock_guard lock(mutex);
        aggiungiRitardi(inviate, giudicate, ritardi);
    }
    const double cpu = cpuCiclo() - cpuPrima;
    server.ferma();
    ciclo.join();
    coda.reset();
    const double byteRegistro = static_cast<double>(std::filesystem::file_size(fileRegistro));
    ::close(registro);
    std::sort(ritardi.begin(), ritardi.end());
    const auto entro =
        std::count_if(ritardi.begin(), ritardi.end(), [](double ms) { return ms <= 400; });
    state.counters["entro_400ms_%"] = 100.0 * static_cast<double>(entro) /
                                      static_cast<double>(std::max<std::size_t>(1, ritardi.size()));
    state.counters["p95_ms"] = ritardi[ritardi.size() * 95 / 100];
    state.counters["ostili_al_s"] = static_cast<double>(ostili) / secondi;
    state.counters["registro_byte_15s"] = byteRegistro / secondi * 15;
    // The receiver loop's own CPU time per hostile connection: what a busy machine cannot blur.
    state.counters["cpu_us_per_ostile"] = cpu / static_cast<double>(std::max(1L, ostili));
}
BENCHMARK(BM_PressioniSottoInondazione)
    ->ArgNames({"dati"})
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
