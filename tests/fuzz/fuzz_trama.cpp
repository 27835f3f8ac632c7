// The frame decoder on arbitrary bytes: whatever it accepts is exactly what the program's frame
// builder makes of the decoded fields.
#include "core/Decodifica.h"
#include "core/Frame.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    // The first three bytes choose the receiver number, 1 to 1048575.
    const std::int32_t receiver =
        static_cast<std::int32_t>((data[0] | data[1] << 8 | (data[2] & 0x0F) << 16) % 1048575 + 1);
    const std::string_view frame(reinterpret_cast<const char*>(data + 3), size - 3);
    const auto result = pulsiero::frame::decode(frame, receiver);
    if (const auto* d = std::get_if<pulsiero::frame::Decoded>(&result)) {
        const auto rebuilt =
            pulsiero::frame::build({receiver, d->transmitter, static_cast<std::int16_t>(d->key),
                                    static_cast<std::int16_t>(d->minuteOfDay), d->random, d->step});
        if (!rebuilt || *rebuilt != frame)
            std::abort();
    }
    return 0;
}
