// The core on Windows makes the same frames and the same settings files as on Linux: the rows of
// TabelleCondivise.h, on real files under Wine.
#include "tests/TabelleCondivise.h"

#include "core/Frame.h"

#include <gtest/gtest.h>

using namespace pulsiero;

namespace {

std::string testo(std::string_view byte) {
    return std::string(byte);
}

} // namespace

TEST(Condivise, frame) {
    for (const auto& riga : condivise::kFrame) {
        SCOPED_TRACE(testo(riga.nome));
        EXPECT_EQ(frame::build(riga.campi).value_or(""), riga.frame);
    }
}
