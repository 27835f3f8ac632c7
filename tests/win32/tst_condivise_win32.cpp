// The core on Windows makes the same frames and the same settings files as on Linux: the rows of
// TabelleCondivise.h, on real files under Wine.
#include "tests/TabelleCondivise.h"
#include "tests/win32/CartellaProva.h"

#include "core/Autenticazione.h"
#include "core/CreaComando.h"
#include "core/IniFile.h"

#include <gtest/gtest.h>

using namespace pulsiero;
using prova::CartellaProva;

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

TEST(Condivise, contatore) {
    for (const auto& riga : condivise::kContatore) {
        SCOPED_TRACE(testo(riga.nome));
        CartellaProva cartella;
        const auto ini = cartella / u8"pulsiero.ini";
        if (!riga.prima.empty())
            prova::scrivi(ini, riga.prima);
        Impostazioni impostazioni;
        impostazioni.NumeroRicevitore = 12345;
        impostazioni.NumeroTrasmettitore = 7;
        const auto comando = CreaComando(2, impostazioni, prova::utf8(ini), Momento{1439, 0});
        EXPECT_EQ(comando.value_or(""), riga.frame);
        EXPECT_EQ(prova::contenuto(ini), riga.dopo);
    }
}

TEST(Condivise, scrittura) {
    for (const auto& riga : condivise::kScrittura) {
        SCOPED_TRACE(testo(riga.nome));
        CartellaProva cartella;
        const auto ini = cartella / u8"pulsiero.ini";
        if (!riga.prima.empty())
            prova::scrivi(ini, riga.prima);
        EXPECT_TRUE(ScriviIni(riga.sezione, riga.chiave, riga.valore, prova::utf8(ini)));
        EXPECT_EQ(prova::contenuto(ini), riga.dopo);
    }
}

TEST(Condivise, lettura) {
    for (const auto& riga : condivise::kLettura) {
        SCOPED_TRACE(testo(riga.nome));
        CartellaProva cartella;
        const auto ini = cartella / u8"pulsiero.ini";
        prova::scrivi(ini, riga.file);
        EXPECT_EQ(LeggiIni(riga.sezione, riga.chiave, riga.predefinito, prova::utf8(ini)),
                  riga.valore);
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
