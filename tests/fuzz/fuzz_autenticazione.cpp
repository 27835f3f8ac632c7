// The keyed-frame decoder on arbitrary bytes, under one fixed key: whatever it accepts as
// authentic rebuilds to the same bytes, and whatever it splits but refuses differs from the
// rebuilt frame in its MAC only.
#include "core/Autenticazione.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace auth = pulsiero::autenticazione;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto chiave =
        auth::leggiChiave("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    const std::string_view ricevuta(reinterpret_cast<const char*>(data), size);
    const auto letta = auth::leggiTramaAutenticata(ricevuta, *chiave);
    if (!letta)
        return 0;
    const auto rifatta = auth::tramaAutenticata(letta->trama, letta->ciclo, *chiave);
    if (!rifatta || rifatta->size() != ricevuta.size())
        std::abort();
    const std::size_t firmati = ricevuta.size() - auth::kCifreMac;
    if (std::string_view(*rifatta).substr(0, firmati) != ricevuta.substr(0, firmati))
        std::abort();
    if (letta->autentica != (*rifatta == ricevuta))
        std::abort();
    return 0;
}
