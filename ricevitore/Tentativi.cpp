#include "ricevitore/Tentativi.h"

namespace pulsiero::ricevitore {

namespace {
constexpr auto kFinestra = std::chrono::minutes(1);
}

bool Tentativi::bloccato(const std::string& indirizzo, Orologio::time_point adesso) const {
    const auto voce = voci_.find(indirizzo);
    return voce != voci_.end() && adesso < voce->second.bloccatoFino;
}

void Tentativi::rifiuto(const std::string& indirizzo, Orologio::time_point adesso) {
    if (!voci_.count(indirizzo) && voci_.size() >= indirizziMassimi_)
        faiPosto(adesso);
    auto& voce = voci_[indirizzo];
    if (adesso < voce.bloccatoFino)
        return; // refusals during a block do not lengthen it
    while (!voce.rifiuti.empty() && adesso - voce.rifiuti.front() >= kFinestra)
        voce.rifiuti.pop_front();
    voce.rifiuti.push_back(adesso);
    if (static_cast<int>(voce.rifiuti.size()) >= massimo_) {
        voce.bloccatoFino = adesso + blocco_;
        voce.rifiuti.clear();
    }
}

// Forgets addresses with nothing recent; if every one is recent, the first unblocked one.
void Tentativi::faiPosto(Orologio::time_point adesso) {
    std::erase_if(voci_, [&](const auto& v) {
        return adesso >= v.second.bloccatoFino &&
               (v.second.rifiuti.empty() || adesso - v.second.rifiuti.back() >= kFinestra);
    });
    if (voci_.size() < indirizziMassimi_)
        return;
    for (auto it = voci_.begin(); it != voci_.end(); ++it)
        if (adesso >= it->second.bloccatoFino) {
            voci_.erase(it);
            return;
        }
    voci_.erase(voci_.begin());
}

} // namespace pulsiero::ricevitore
