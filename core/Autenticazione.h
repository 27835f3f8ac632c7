#pragma once

// Authenticated frames: a transmitter holding a 256-bit key appends to its command frame a wrap
// count and a MAC, so that nobody without the key can forge or alter a frame.
//
// On the wire a keyed frame is, all printable ASCII, at most kMaxLunghezza bytes:
//
//   <frame> '-' <wrap count: 4 upper-case hex digits> <MAC: 32 upper-case hex digits>
//
// <frame> is the unkeyed frame byte for byte (upper-case hex digits only, so the '-' can never be
// part of it). The MAC is keyed BLAKE2b with a 16-byte output over the domain prefix kDominio, one
// zero byte, then every byte before the MAC: the frame, the '-' and the wrap count. The step
// (1 to 65535) and the wrap count (0 to 65535) together form a 32-bit counter that never repeats
// under one key (see contatore()).
//
// Why keyed BLAKE2b (libsodium's crypto_generichash): it is a MAC by design (the key is part of
// the parameter block, no HMAC nesting), one pass and fast, takes a 32-byte key as it stands, and
// its output length is a parameter, so a 16-byte tag is a tag of its own and not a cut-down longer
// one. 128 bits of MAC keep a keyed frame well under 64 bytes.
//
// Every function needs libsodium initialised; each one here calls inizializza() itself.
//
// Receiver side, in short:
//   auto chiave = leggiChiave(hex);                 // or from leggiRigaChiavi(line)
//   if (!haParteAutenticazione(received)) -> "trama non autenticata" for a keyed transmitter
//   auto r = leggiTramaAutenticata(received, *chiave);
//   if (!r || !r->autentica) -> "autenticazione fallita"
//   else decode r->trama as an unkeyed frame, counter = contatore(r->ciclo, decoded.step)

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pulsiero::autenticazione {

// Names this protocol and its version in every MAC: a tag made for anything else never matches.
inline constexpr std::string_view kDominio = "pulsiero-rolling-code/1";
inline constexpr char kSeparatore = '-';
inline constexpr std::size_t kCifreCiclo = 4;
inline constexpr std::size_t kByteMac = 16;
inline constexpr std::size_t kCifreMac = 2 * kByteMac;
// The separator, the wrap count and the MAC.
inline constexpr std::size_t kLunghezzaParte = 1 + kCifreCiclo + kCifreMac;
inline constexpr std::size_t kMaxLunghezza = 64;
// The longest unkeyed frame a keyed frame can carry.
inline constexpr std::size_t kMaxLunghezzaTrama = kMaxLunghezza - kLunghezzaParte;
inline constexpr std::uint32_t kUltimoCiclo = 0xFFFF;
inline constexpr std::size_t kByteChiave = 32;
inline constexpr std::size_t kCifreChiave = 2 * kByteChiave;

using Chiave = std::array<unsigned char, kByteChiave>;

// Initialises libsodium once per process; false when it cannot (no random source).
bool inizializza();

// A key written as exactly 64 hex digits, either case, nothing else (no blanks, no prefix).
std::optional<Chiave> leggiChiave(std::string_view esadecimale);
// The key as 64 upper-case hex digits.
std::string scriviChiave(const Chiave& chiave);
// A fresh key from the operating system's random source; nullopt when libsodium cannot start.
std::optional<Chiave> chiaveCasuale();

// The 32-bit counter of a keyed frame: the wrap count above, the step below.
constexpr std::uint32_t contatore(std::uint16_t ciclo, std::uint16_t passo) {
    return (std::uint32_t{ciclo} << 16) | passo;
}

// What follows the frame on the wire: '-', the wrap count and the MAC (kLunghezzaParte bytes).
// nullopt when the frame is empty, not upper-case hex, or longer than kMaxLunghezzaTrama.
std::optional<std::string> parteAutenticazione(std::string_view trama, std::uint16_t ciclo,
                                               const Chiave& chiave);
// The whole keyed frame: trama followed by parteAutenticazione().
std::optional<std::string> tramaAutenticata(std::string_view trama, std::uint16_t ciclo,
                                            const Chiave& chiave);

// True when the received bytes carry an authentication part at all (a separator): a keyed
// transmitter's frame without one is unauthenticated, whatever else it holds.
bool haParteAutenticazione(std::string_view ricevuta);

struct TramaRicevuta {
    std::string trama;       // the unkeyed frame, still to be decoded
    std::uint16_t ciclo = 0; // the wrap count
    bool autentica = false;  // the MAC is right for this key (compared in constant time)
};

// Splits a received keyed frame and checks its MAC. nullopt when it is not shaped like a keyed
// frame: longer than kMaxLunghezza, no single separator, a frame part that is empty or not
// upper-case hex, or a wrap count and MAC that are not exactly 36 upper-case hex digits. Anything
// it returns with autentica true is exactly tramaAutenticata(trama, ciclo, chiave).
std::optional<TramaRicevuta> leggiTramaAutenticata(std::string_view ricevuta, const Chiave& chiave);

// One line of a receiver's keys file: the transmitter number in decimal, one space, the key in
// hex: "7 00112233...". No line end.
struct RigaChiavi {
    std::int32_t trasmettitore = 0;
    Chiave chiave{};
};
std::string scriviRigaChiavi(std::int32_t trasmettitore, const Chiave& chiave);
// Reads a line as scriviRigaChiavi writes it; blanks around the line and a trailing '\r' are
// allowed, and the number is 0 to 2147483647 without sign or leading zeros. nullopt otherwise.
std::optional<RigaChiavi> leggiRigaChiavi(std::string_view riga);

} // namespace pulsiero::autenticazione
