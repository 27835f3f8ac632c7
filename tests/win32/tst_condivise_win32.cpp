// The core on Windows makes the same frames and the same settings files as on Linux: the rows of
// TabelleCondivise.h, on real files under Wine.
#include "tests/TabelleCondivise.h"

#include "core/Autenticazione.h"
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

TEST(Condivise, autenticata) {
    for (const auto& riga : condivise::kAutenticata) {
        SCOPED_TRACE(testo(riga.nome));
        const auto chiave = autenticazione::leggiChiave(riga.chiave);
        ASSERT_TRUE(chiave);
        EXPECT_EQ(autenticazione::tramaAutenticata(riga.trama, riga.ciclo, *chiave).value_or(""),
                  riga.autenticata);
    }
}
