#include "core/Autenticazione.h"

#include <sodium.h>

#include <algorithm>
#include <limits>

namespace pulsiero::autenticazione {

namespace {

constexpr char kCifre[] = "0123456789ABCDEF";

bool cifraMaiuscola(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool tuttaMaiuscola(std::string_view testo) {
    return std::all_of(testo.begin(), testo.end(), cifraMaiuscola);
}

int valoreCifra(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Hex of any case into bytes; false on any other character or a wrong length.
bool leggiEsadecimale(std::string_view testo, unsigned char* byte, std::size_t quanti) {
    if (testo.size() != 2 * quanti)
        return false;
    for (std::size_t i = 0; i < quanti; ++i) {
        const int alta = valoreCifra(testo[2 * i]);
        const int bassa = valoreCifra(testo[2 * i + 1]);
        if (alta < 0 || bassa < 0)
            return false;
        byte[i] = static_cast<unsigned char>(alta << 4 | bassa);
    }
    return true;
}

void scriviEsadecimale(std::string& uscita, const unsigned char* byte, std::size_t quanti) {
    for (std::size_t i = 0; i < quanti; ++i) {
        uscita += kCifre[byte[i] >> 4];
        uscita += kCifre[byte[i] & 0xF];
    }
}

bool tramaValida(std::string_view trama) {
    return !trama.empty() && trama.size() <= kMaxLunghezzaTrama && tuttaMaiuscola(trama);
}

// The frame, the separator and the wrap count: every byte the MAC covers after the prefix.
std::string testoFirmato(std::string_view trama, std::uint16_t ciclo) {
    std::string testo;
    testo.reserve(kMaxLunghezza);
    testo += trama;
    testo += kSeparatore;
    for (int shift = 12; shift >= 0; shift -= 4)
        testo += kCifre[(ciclo >> shift) & 0xF];
    return testo;
}

std::array<unsigned char, kByteMac> mac(std::string_view firmato, const Chiave& chiave) {
    crypto_generichash_state stato;
    crypto_generichash_init(&stato, chiave.data(), chiave.size(), kByteMac);
    crypto_generichash_update(&stato, reinterpret_cast<const unsigned char*>(kDominio.data()),
                              kDominio.size());
    const unsigned char zero = 0; // ends the prefix, so no frame can run into it
    crypto_generichash_update(&stato, &zero, 1);
    crypto_generichash_update(&stato, reinterpret_cast<const unsigned char*>(firmato.data()),
                              firmato.size());
    std::array<unsigned char, kByteMac> tag{};
    crypto_generichash_final(&stato, tag.data(), tag.size());
    sodium_memzero(&stato, sizeof stato);
    return tag;
}

} // namespace

bool inizializza() {
    static const bool pronta = sodium_init() >= 0;
    return pronta;
}

std::optional<Chiave> leggiChiave(std::string_view esadecimale) {
    Chiave chiave{};
    if (!leggiEsadecimale(esadecimale, chiave.data(), chiave.size()))
        return std::nullopt;
    return chiave;
}

std::string scriviChiave(const Chiave& chiave) {
    std::string testo;
    testo.reserve(kCifreChiave);
    scriviEsadecimale(testo, chiave.data(), chiave.size());
    return testo;
}

std::optional<Chiave> chiaveCasuale() {
    if (!inizializza())
        return std::nullopt;
    Chiave chiave{};
    randombytes_buf(chiave.data(), chiave.size());
    return chiave;
}

std::optional<std::string> parteAutenticazione(std::string_view trama, std::uint16_t ciclo,
                                               const Chiave& chiave) {
    if (!tramaValida(trama) || !inizializza())
        return std::nullopt;
    const std::string firmato = testoFirmato(trama, ciclo);
    const auto tag = mac(firmato, chiave);
    std::string parte = firmato.substr(trama.size());
    scriviEsadecimale(parte, tag.data(), tag.size());
    return parte;
}

std::optional<std::string> tramaAutenticata(std::string_view trama, std::uint16_t ciclo,
                                            const Chiave& chiave) {
    const auto parte = parteAutenticazione(trama, ciclo, chiave);
    if (!parte)
        return std::nullopt;
    return std::string(trama) + *parte;
}

bool haParteAutenticazione(std::string_view ricevuta) {
    return ricevuta.find(kSeparatore) != std::string_view::npos;
}

std::optional<TramaRicevuta> leggiTramaAutenticata(std::string_view ricevuta,
                                                   const Chiave& chiave) {
    if (ricevuta.size() > kMaxLunghezza || ricevuta.size() < kLunghezzaParte || !inizializza())
        return std::nullopt;
    const std::size_t separatore = ricevuta.size() - kLunghezzaParte;
    const std::string_view trama = ricevuta.substr(0, separatore);
    const std::string_view ciclo = ricevuta.substr(separatore + 1, kCifreCiclo);
    const std::string_view cifreMac = ricevuta.substr(separatore + 1 + kCifreCiclo);
    // Only upper-case digits are accepted, so each frame has exactly one spelling on the wire.
    if (ricevuta[separatore] != kSeparatore || !tramaValida(trama) || !tuttaMaiuscola(ciclo) ||
        !tuttaMaiuscola(cifreMac))
        return std::nullopt;
    std::array<unsigned char, kByteMac> ricevuto{};
    if (!leggiEsadecimale(cifreMac, ricevuto.data(), ricevuto.size()))
        return std::nullopt;

    TramaRicevuta r;
    r.trama = std::string(trama);
    for (char c : ciclo)
        r.ciclo = static_cast<std::uint16_t>(r.ciclo << 4 | valoreCifra(c));
    const auto atteso = mac(ricevuta.substr(0, separatore + 1 + kCifreCiclo), chiave);
    // Constant time: how much of a forged tag was right never shows in the time taken.
    r.autentica = crypto_verify_16(atteso.data(), ricevuto.data()) == 0;
    return r;
}

std::string scriviRigaChiavi(std::int32_t trasmettitore, const Chiave& chiave) {
    return std::to_string(trasmettitore) + ' ' + scriviChiave(chiave);
}

std::optional<RigaChiavi> leggiRigaChiavi(std::string_view riga) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!riga.empty() && blank(riga.front()))
        riga.remove_prefix(1);
    while (!riga.empty() && blank(riga.back()))
        riga.remove_suffix(1);
    const auto spazio = riga.find(' ');
    if (spazio == std::string_view::npos)
        return std::nullopt;
    const std::string_view numero = riga.substr(0, spazio);
    if (numero.empty() || numero.size() > 10 || (numero.size() > 1 && numero[0] == '0'))
        return std::nullopt;
    std::int64_t valore = 0;
    for (char c : numero) {
        if (c < '0' || c > '9')
            return std::nullopt;
        valore = valore * 10 + (c - '0');
    }
    if (valore > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    const auto chiave = leggiChiave(riga.substr(spazio + 1));
    if (!chiave)
        return std::nullopt;
    return RigaChiavi{static_cast<std::int32_t>(valore), *chiave};
}

} // namespace pulsiero::autenticazione
