#include "core/Frame.h"

#include "core/LenientNumber.h"
#include "core/TextEncoding.h"

#include <iterator>

namespace pulsiero::frame {

std::string hex(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buffer[8];
    int n = 0;
    do {
        buffer[n++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    return std::string(std::make_reverse_iterator(buffer + n), std::make_reverse_iterator(buffer));
}

namespace {

std::uint32_t complement32(std::int32_t value, std::uint32_t mask) {
    return static_cast<std::uint32_t>(value) ^ mask;
}

// Fields computed in 16 bits keep a negative value's 16-bit two's complement.
std::uint32_t complement16(std::int16_t value, std::uint16_t mask) {
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(value) ^ mask);
}

// Added left to right in 32 bits, each partial sum checked: an overflow on the way fails even
// when later terms would bring the total back into range.
std::optional<std::int32_t> checkSum(const Fields& f) {
    std::int32_t sum = f.receiver;
    for (const std::int32_t term :
         {std::int32_t{f.transmitter}, std::int32_t{f.key}, f.step, f.random})
        if (__builtin_add_overflow(sum, term, &sum))
            return std::nullopt;
    return sum;
}

} // namespace

std::optional<std::string> build(const Fields& f) {
    const auto sum = checkSum(f);
    if (!sum)
        return std::nullopt;
    std::string frame;
    frame.reserve(24);
    frame += hex(complement32(f.receiver, kReceiverMask));
    frame += hex(complement32(f.transmitter, kTransmitterMask));
    frame += hex(complement16(f.key, kKeyMask));
    frame += hex(complement16(f.minuteOfDay, kTimeMask));
    frame += hex(complement32(f.random, kRandomMask));
    frame += hex(complement32(f.step, kStepMask));
    frame += hex(static_cast<std::uint32_t>(*sum) & 0xF);
    return frame;
}

std::optional<std::int32_t> nextStep(std::string_view stored) {
    const auto step = roundToInt32(numericValue(text::trimBlanks(stored)) + 1.0);
    if (!step)
        return std::nullopt;
    // Only the upper bound wraps: 65535 is followed by 1, and 0 or below is used as it stands.
    return *step > kLastStep ? 1 : *step;
}

} // namespace pulsiero::frame
