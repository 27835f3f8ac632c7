#include "core/ErroriWinsock.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace pulsiero {

namespace {

// By number, as Winsock defines them (WSAEACCES is 10013, WSAHOST_NOT_FOUND 11001).
constexpr std::pair<int, std::string_view> kDescrizioni[] = {
    {10013, "Accesso alla rete negato"},
    {10045, "Operazione non supportata"},
    {10047, "Famiglia di indirizzi non supportata"},
    {10048, "Indirizzo già in uso"},
    {10049, "Indirizzo non valido"},
    {10050, "Rete non disponibile"},
    {10051, "Rete non raggiungibile"},
    {10053, "Connessione interrotta"},
    {10054, "Connessione interrotta dal ricevitore"},
    {10055, "Risorse di sistema insufficienti"},
    {10060, "Tempo di connessione scaduto"},
    {10061, "Connessione rifiutata dal ricevitore"},
    {10065, "Host non raggiungibile"},
    {11001, "Host non trovato"},
    {11002, "Host non trovato, riprovare più tardi"},
    {11004, "Nessun indirizzo per questo host"},
};

} // namespace

std::string_view descrizioneWinsock(int numero) {
    const auto voce = std::find_if(std::begin(kDescrizioni), std::end(kDescrizioni),
                                   [numero](const auto& v) { return v.first == numero; });
    return voce == std::end(kDescrizioni) ? std::string_view() : voce->second;
}

} // namespace pulsiero
