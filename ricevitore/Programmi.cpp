#include "ricevitore/Programmi.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pulsiero::ricevitore {

std::size_t Programmi::occupati(const std::function<bool(const Posto&)>& quali) const {
    return static_cast<std::size_t>(std::count_if(prenotati_.begin(), prenotati_.end(), quali) +
                                    std::count_if(figli_.begin(), figli_.end(),
                                                  [&](const Figlio& f) { return quali(f.posto); }));
}

std::optional<std::string> Programmi::prenota(std::int32_t pulsiero, bool autenticato) {
    const auto tutti = occupati([](const Posto&) { return true; });
    const auto suoi = occupati([&](const Posto& p) { return p.pulsiero == pulsiero; });
    const auto senzaMac = occupati([](const Posto& p) { return !p.autenticato; });
    const std::size_t perPulsiero = std::max<std::size_t>(1, massimo_ / 2);
    const std::size_t perSenzaMac = std::max<std::size_t>(1, massimo_ - massimo_ / 4);
    if (tutti >= massimo_)
        return "programma non avviato: già " + std::to_string(tutti) + " in esecuzione";
    if (suoi >= perPulsiero)
        return "programma non avviato: già " + std::to_string(suoi) +
               " in esecuzione per questo pulsiero";
    if (!autenticato && senzaMac >= perSenzaMac)
        return "programma non avviato: già " + std::to_string(senzaMac) +
               " in esecuzione per trame senza chiave";
    // A program named by its path is checked here, so that a missing one refuses the frame
    // before its step is used; one looked up in PATH is found only when it starts.
    if (programma_.find('/') != std::string::npos && ::access(programma_.c_str(), X_OK) != 0)
        return "programma non avviato: " + programma_ + ": " + std::strerror(errno);
    prenotati_.push_back({pulsiero, autenticato});
    return std::nullopt;
}

void Programmi::rilascia(std::int32_t pulsiero, bool autenticato) {
    const auto posto = std::find_if(prenotati_.begin(), prenotati_.end(), [&](const Posto& p) {
        return p.pulsiero == pulsiero && p.autenticato == autenticato;
    });
    if (posto != prenotati_.end())
        prenotati_.erase(posto);
}

std::optional<std::string> Programmi::avvia(std::int32_t pulsiero, bool autenticato,
                                            const std::vector<std::string>& argomenti) {
    rilascia(pulsiero, autenticato);
    std::vector<char*> argv{const_cast<char*>(programma_.c_str())};
    for (const auto& a : argomenti)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attributi;
    posix_spawnattr_init(&attributi);
    sigset_t tutti;
    sigset_t nessuno;
    sigfillset(&tutti);
    sigemptyset(&nessuno);
    posix_spawnattr_setsigdefault(&attributi, &tutti); // SIGPIPE, SIGCHLD, SIGXFSZ... as new
    posix_spawnattr_setsigmask(&attributi, &nessuno);
    posix_spawnattr_setpgroup(&attributi, 0); // its own group, killed as a whole
    posix_spawnattr_setflags(&attributi, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                             POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&azioni, 2, 1);

    pid_t pid = 0;
    const int errore =
        posix_spawnp(&pid, programma_.c_str(), &azioni, &attributi, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    posix_spawnattr_destroy(&attributi);
    if (errore != 0)
        return "programma non avviato: " + programma_ + ": " + std::strerror(errore);
    figli_.push_back({{pulsiero, autenticato}, pid, Orologio::now() + limite_});
    return std::nullopt;
}

std::vector<std::string> Programmi::controlla(Orologio::time_point adesso) {
    std::vector<std::string> righe;
    std::erase_if(figli_, [&](Figlio& f) {
        int stato = 0;
        const pid_t finito = ::waitpid(f.pid, &stato, WNOHANG);
        if (finito == 0) {
            if (!f.ucciso && adesso >= f.scadenza) {
                ::kill(-f.pid, SIGKILL);
                f.ucciso = true;
                righe.push_back("programma (pid " + std::to_string(f.pid) + ") ucciso dopo " +
                                std::to_string(limite_.count()) + " ms");
            }
            return false;
        }
        if (finito < 0)
            return errno != EINTR;
        if (WIFEXITED(stato) && WEXITSTATUS(stato) != 0)
            righe.push_back("programma (pid " + std::to_string(f.pid) + ") terminato con stato " +
                            std::to_string(WEXITSTATUS(stato)));
        else if (WIFSIGNALED(stato) && !f.ucciso)
            righe.push_back("programma (pid " + std::to_string(f.pid) + ") terminato dal segnale " +
                            std::to_string(WTERMSIG(stato)));
        return true;
    });
    return righe;
}

} // namespace pulsiero::ricevitore
