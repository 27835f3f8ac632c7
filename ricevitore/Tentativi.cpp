#include "ricevitore/Tentativi.h"

#include <algorithm>
#include <iterator>

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

// Forgets addresses with nothing recent; if that is not enough, an eighth of the unblocked ones,
// so that a flood from ever new addresses costs one scan of the table per many refusals.
void Tentativi::faiPosto(Orologio::time_point adesso) {
    std::erase_if(voci_, [&](const auto& v) {
        return adesso >= v.second.bloccatoFino &&
               (v.second.rifiuti.empty() || adesso - v.second.rifiuti.back() >= kFinestra);
    });
    const std::size_t obiettivo =
        indirizziMassimi_ - std::max<std::size_t>(1, indirizziMassimi_ / 8);
    for (auto it = voci_.begin(); voci_.size() > obiettivo && it != voci_.end();)
        it = adesso >= it->second.bloccatoFino ? voci_.erase(it) : std::next(it);
    while (voci_.size() >= indirizziMassimi_)
        voci_.erase(voci_.begin());
}

} // namespace pulsiero::ricevitore
