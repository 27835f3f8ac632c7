// Receiver throughput: frames decoded, judged, saved and logged per second with many loopback
// clients, beside the floor of a plain POSIX accept-read-close loop fed by the same clients.
#include "protocol/Frame.h"
#include "ricevitore/ServerRicevitore.h"
#include "settings/IniFile.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <ctime>
#include <netinet/in.h>
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

void BM_Ricevitore(benchmark::State& state) {
    char cartella[] = "/tmp/bench-ricevitore-XXXXXX";
    mkdtemp(cartella);
    const std::string stato = std::string(cartella) + "/stato";
    std::string iniziale;
    for (int t = 1; t <= kMaxClienti; ++t)
        iniziale += std::to_string(t) + " 65535\n";
    pulsiero::ini::writeFileAtomically(stato, iniziale);

    pulsiero::ricevitore::Opzioni opzioni;
    opzioni.porta = 0;
    opzioni.fileStato = stato;
    pulsiero::ricevitore::Server server(opzioni);
    server.apri();
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
    std::system((std::string("rm -rf ") + cartella).c_str());
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

} // namespace

BENCHMARK_MAIN();
