#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace pulsiero::frame {

struct Decoded {
    std::int32_t transmitter = 0;
    std::int32_t key = 0;         // index 0 to 3
    std::int32_t minuteOfDay = 0; // 0 to 1439
    std::int32_t random = 0;
    std::int32_t step = 0; // 1 to 65535
};

enum class Refusal {
    Malformed,     // not upper-case hex, or a length no frame has
    WrongReceiver, // the first field is not this receiver's
    BadCheck,      // the check digit does not match the fields
    OutOfRange,    // a field decodes outside what the program sends
};

std::string_view describe(Refusal refusal); // Italian, for people
std::string_view code(Refusal refusal);     // short and stable, for tools

// Decodes a frame addressed to the receiver number given. Fields are unpadded, so the receiver
// number fixes where the first field ends; the tail (key 2, time 3, random 1, step 5, check 1
// characters) is fixed, which leaves the transmitter's field in between.
std::variant<Decoded, Refusal> decode(std::string_view frame, std::int32_t receiver);

} // namespace pulsiero::frame
