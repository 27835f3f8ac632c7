// The lenient number reader and the step counter's successor on arbitrary text.
#include "core/Frame.h"
#include "core/LenientNumber.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = pulsiero::numericValue(text);
    if (std::isnan(value))
        std::abort();
    const auto rounded = pulsiero::readInt32(text);
    if (rounded && std::fabs(*rounded - value) > 0.5)
        std::abort();
    if (pulsiero::isNumeric(text) && text.find_first_not_of(" \t0123456789+-.eE") != text.npos)
        std::abort();
    if (const auto step = pulsiero::frame::nextStep(text); step && *step > 65535)
        std::abort();
    return 0;
}
