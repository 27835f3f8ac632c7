#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>

namespace pulsiero::ricevitore {

// Refusals per peer address: after `massimo` within a minute, the address is refused outright
// for `blocco`. Against a client that replays or guesses blindly this bounds the attempts; it
// does nothing against a forger who has seen one frame, since the frame carries no secret.
// The table is bounded: quiet addresses are forgotten first.
class Tentativi {
public:
    using Orologio = std::chrono::steady_clock;

    Tentativi(int massimo, std::chrono::seconds blocco, std::size_t indirizziMassimi = 4096)
        : massimo_(massimo), blocco_(blocco), indirizziMassimi_(indirizziMassimi) {}

    bool bloccato(const std::string& indirizzo, Orologio::time_point adesso) const;
    void rifiuto(const std::string& indirizzo, Orologio::time_point adesso);

private:
    struct Voce {
        std::deque<Orologio::time_point> rifiuti;
        Orologio::time_point bloccatoFino{};
    };

    void faiPosto(Orologio::time_point adesso);

    int massimo_;
    std::chrono::seconds blocco_;
    std::size_t indirizziMassimi_;
    std::unordered_map<std::string, Voce> voci_;
};

} // namespace pulsiero::ricevitore
