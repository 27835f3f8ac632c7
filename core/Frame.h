#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pulsiero::frame {

// Masks of the fields; each field is its value XOR the mask, in upper-case hex without padding.
inline constexpr std::uint32_t kReceiverMask = 0xFFFFF;
inline constexpr std::uint32_t kTransmitterMask = 0x7F;
inline constexpr std::uint16_t kKeyMask = 0x1F;
inline constexpr std::uint16_t kTimeMask = 0x7FF;
inline constexpr std::uint32_t kRandomMask = 0xF;
inline constexpr std::uint32_t kStepMask = 0xFFFFF;

// The step counter runs 1 to 65535, then starts again at 1.
inline constexpr std::int32_t kLastStep = 0xFFFF;
inline constexpr int kMinutesPerDay = 1440;

struct Fields {
    std::int32_t receiver = 0;
    std::int32_t transmitter = 0;
    std::int16_t key = 0;         // index 0 to 3
    std::int16_t minuteOfDay = 0; // hour * 60 + minute
    std::int32_t random = 0;      // 0 to 15
    std::int32_t step = 0;
};

// The frame's text; nullopt when the check sum (receiver + transmitter + key + step + random,
// left to right) overflows 32 bits at any step.
std::optional<std::string> build(const Fields& fields);

// The step that follows the stored text of the counter: read leniently, plus one, rounded halves
// to even, wrapped from above 65535 to 1. nullopt when the result does not fit 32 bits.
std::optional<std::int32_t> nextStep(std::string_view stored);

// Upper-case hex of the value's 32-bit two's complement, no leading zeros.
std::string hex(std::uint32_t value);

} // namespace pulsiero::frame
