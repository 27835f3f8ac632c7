// Start-up to the first mapped window, and resident memory once idle, of the program beside a
// bare Qt window with the same menu bar and picture, alternating runs on the current X display.
// Usage: bench_avvio PULSIERO FINESTRA_NUDA [RUNS]
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Misura {
    double avvioMs = 0;
    double rssMiB = 0;
};

double rssMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string riga;
    while (std::getline(status, riga))
        if (riga.rfind("VmRSS:", 0) == 0)
            return std::atof(riga.c_str() + 6) / 1024.0;
    return 0;
}

// Waits for the next top-level window to be mapped.
bool attendiMappa(xcb_connection_t* x, Clock::time_point limite) {
    while (Clock::now() < limite) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(x)) {
            const bool mappa = (e->response_type & 0x7F) == XCB_MAP_NOTIFY;
            std::free(e);
            if (mappa)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

Misura misura(xcb_connection_t* x, const std::string& programma, const std::string& casa) {
    const std::string home = "HOME=" + casa;
    const std::string config = "XDG_CONFIG_HOME=" + casa + "/config";
    std::vector<std::string> ambiente{home, config, "QT_QPA_PLATFORM=xcb"};
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("HOME=", 0) && v.rfind("XDG_CONFIG_HOME=", 0) && v.rfind("QT_QPA_PLATFORM=", 0))
            ambiente.push_back(v);
    }
    std::vector<char*> envp;
    for (auto& v : ambiente)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(programma.c_str()), nullptr};

    Misura m;
    const auto inizio = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, programma.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return m;
    if (attendiMappa(x, inizio + std::chrono::seconds(10)))
        m.avvioMs = std::chrono::duration<double, std::milli>(Clock::now() - inizio).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    m.rssMiB = rssMiB(pid);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return m;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: bench_avvio PULSIERO FINESTRA_NUDA [PROVE]\n");
        return 2;
    }
    const int prove = argc > 3 ? std::atoi(argv[3]) : 11;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_avvio: serve un display X\n"); // skipped under CTest
        return 2;
    }
    xcb_screen_t* schermo = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t maschera = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, schermo->root, XCB_CW_EVENT_MASK, &maschera);
    xcb_flush(x);

    char cartella[] = "/tmp/bench-avvio-XXXXXX";
    if (mkdtemp(cartella) == nullptr) {
        std::perror("bench_avvio: mkdtemp");
        xcb_disconnect(x);
        return 2;
    }
    const std::string casa = cartella;
    std::vector<double> avvio[2], rss[2];
    const std::string programmi[2] = {argv[1], argv[2]};
    for (int i = 0; i < prove; ++i)
        for (int p = 0; p < 2; ++p) {
            const Misura m = misura(x, programmi[p], casa);
            avvio[p].push_back(m.avvioMs);
            rss[p].push_back(m.rssMiB);
        }
    std::printf("%-14s %12s %12s\n", "", "avvio (ms)", "RSS (MiB)");
    const char* nomi[2] = {"pulsiero", "finestra nuda"};
    for (int p = 0; p < 2; ++p)
        std::printf("%-14s %12.1f %12.1f\n", nomi[p], mediana(avvio[p]), mediana(rss[p]));
    std::printf("rapporto       %12.2f %12.2f   (obiettivo: al massimo 1.30)\n",
                mediana(avvio[0]) / mediana(avvio[1]), mediana(rss[0]) / mediana(rss[1]));
    std::error_code errore; // a folder left behind in /tmp is no reason to fail
    std::filesystem::remove_all(casa, errore);
    xcb_disconnect(x);
    return 0;
}
