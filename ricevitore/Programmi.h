#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pulsiero::ricevitore {

// The program run for each accepted frame (--esegui): never through a shell, a bounded number
// at once, each killed (with whatever it started) once it outlives its time. Children start with
// default signal dispositions and an empty mask, stdin from /dev/null and stdout on the
// receiver's stderr, so nothing they print can pass for a line of the log.
class Programmi {
public:
    using Orologio = std::chrono::steady_clock;

    Programmi(std::string programma, std::size_t massimo, std::chrono::milliseconds limite)
        : programma_(std::move(programma)), massimo_(massimo), limite_(limite) {}

    // Holds a slot for a frame of this transmitter before its counter is used; on refusal, why
    // (Italian, for the log). Slots are shared: one transmitter holds at most half of them, and
    // frames without a MAC together leave a quarter to those with one.
    std::optional<std::string> prenota(std::int32_t pulsiero, bool autenticato);
    void rilascia(std::int32_t pulsiero, bool autenticato);

    // Starts the program in the slot held, with these arguments; on failure, why.
    std::optional<std::string> avvia(std::int32_t pulsiero, bool autenticato,
                                     const std::vector<std::string>& argomenti);

    // Reaps the children that ended and kills the overdue ones; a line per noteworthy end.
    std::vector<std::string> controlla(Orologio::time_point adesso);

    std::size_t inEsecuzione() const { return figli_.size(); }

private:
    struct Posto {
        std::int32_t pulsiero;
        bool autenticato;
    };
    std::size_t occupati(const std::function<bool(const Posto&)>& quali) const;

    struct Figlio {
        Posto posto;
        pid_t pid;
        Orologio::time_point scadenza;
        bool ucciso = false;
    };

    std::string programma_;
    std::size_t massimo_;
    std::chrono::milliseconds limite_;
    std::vector<Figlio> figli_;
    std::vector<Posto> prenotati_; // held for frames whose state is being saved
};

} // namespace pulsiero::ricevitore
