#include "core/Decodifica.h"

#include "core/Frame.h"

namespace pulsiero::frame {

namespace {

constexpr std::size_t kTail = 2 + 3 + 1 + 5 + 1;

bool isUpperHex(std::string_view text) {
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return !text.empty();
}

std::uint32_t parseHex(std::string_view text) {
    std::uint32_t value = 0;
    for (const char c : text)
        value = (value << 4) | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    return value;
}

} // namespace

std::string_view describe(Refusal refusal) {
    switch (refusal) {
    case Refusal::Malformed:
        return "trama non valida";
    case Refusal::WrongReceiver:
        return "ricevitore errato";
    case Refusal::BadCheck:
        return "cifra di controllo errata";
    case Refusal::OutOfRange:
        return "campo fuori intervallo";
    }
    return "";
}

std::string_view code(Refusal refusal) {
    switch (refusal) {
    case Refusal::Malformed:
        return "trama_non_valida";
    case Refusal::WrongReceiver:
        return "ricevitore_errato";
    case Refusal::BadCheck:
        return "controllo_errato";
    case Refusal::OutOfRange:
        return "fuori_intervallo";
    }
    return "";
}

std::variant<Decoded, Refusal> decode(std::string_view frame, std::int32_t receiver) {
    if (!isUpperHex(frame) || frame.size() > 32)
        return Refusal::Malformed;
    const std::string receiverField = hex(static_cast<std::uint32_t>(receiver) ^ kReceiverMask);
    if (frame.size() < receiverField.size() + 1 + kTail)
        return Refusal::Malformed;
    if (frame.substr(0, receiverField.size()) != receiverField)
        return Refusal::WrongReceiver;
    const std::size_t txLength = frame.size() - receiverField.size() - kTail;
    // Fields are never padded: a transmitter field "0x" is no frame of the program's.
    if (txLength > 2 || (txLength == 2 && frame[receiverField.size()] == '0'))
        return Refusal::Malformed;

    std::string_view rest = frame.substr(receiverField.size());
    const auto take = [&rest](std::size_t n) {
        const auto field = rest.substr(0, n);
        rest.remove_prefix(n);
        return parseHex(field);
    };
    Decoded d;
    d.transmitter = static_cast<std::int32_t>(take(txLength) ^ kTransmitterMask);
    d.key = static_cast<std::int32_t>(take(2) ^ kKeyMask);
    d.minuteOfDay = static_cast<std::int32_t>(take(3) ^ kTimeMask);
    d.random = static_cast<std::int32_t>(take(1) ^ kRandomMask);
    d.step = static_cast<std::int32_t>(take(5) ^ kStepMask);
    const std::uint32_t check = take(1);

    const std::int64_t sum = std::int64_t{receiver} + d.transmitter + d.key + d.step + d.random;
    if ((static_cast<std::uint32_t>(sum) & 0xF) != check)
        return Refusal::BadCheck;
    if (d.transmitter < 1 || d.transmitter > 128 || d.key > 3 || d.minuteOfDay >= kMinutesPerDay ||
        d.step < 1 || d.step > kLastStep)
        return Refusal::OutOfRange;
    return d;
}

} // namespace pulsiero::frame
