// Where the Windows program keeps its settings: beside the executable when that file may be
// replaced (a portable folder), otherwise in the user's %APPDATA% folder, seeded from a file
// beside the executable that may only be read. Real folders under Wine.
#include "tests/win32/CartellaProva.h"

#include "core/IniFile.h"
#include "win32/piattaforma/PercorsoImpostazioni.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace pulsiero;
using prova::CartellaProva;

namespace {

struct Disposizione {
    bool accanto = false; // Pulsiero.ini beside Pulsiero.exe
    bool accantoSolaLettura = false;
    bool accantoCartella = false; // a folder named Pulsiero.ini beside the executable
    bool utente = false;          // the user's pulsiero.ini
};

enum class Scelta { Accanto, Utente, UtenteDaSeme };

// Lays out the folders, chooses, and tells which of the three it was.
Scelta scegli(const CartellaProva& cartella, const Disposizione& d) {
    const auto programma = cartella / u8"Programma è";
    const auto utente = cartella / u8"AppData" / u8"Pulsiero";
    std::filesystem::create_directories(programma);
    std::filesystem::create_directories(utente);
    const auto accanto = programma / u8"Pulsiero.ini";
    if (d.accanto)
        prova::scrivi(accanto, "[Server]\r\nPorta=200\r\n");
    if (d.accantoSolaLettura)
        SetFileAttributesW(accanto.c_str(), FILE_ATTRIBUTE_READONLY);
    if (d.accantoCartella)
        std::filesystem::create_directory(accanto);
    if (d.utente)
        prova::scrivi(utente / u8"pulsiero.ini", "[Server]\r\nPorta=300\r\n");

    const auto scelta =
        win::scegliImpostazioni((programma / u8"Pulsiero.exe").wstring(), utente.wstring());
    if (scelta.percorso == accanto.wstring() && scelta.seme.empty())
        return Scelta::Accanto;
    EXPECT_EQ(scelta.percorso, (utente / u8"pulsiero.ini").wstring());
    if (scelta.seme.empty())
        return Scelta::Utente;
    EXPECT_EQ(scelta.seme, accanto.wstring());
    return Scelta::UtenteDaSeme;
}

} // namespace

TEST(PercorsoImpostazioni, scelta) {
    struct Riga {
        const char* nome;
        Disposizione disposizione;
        Scelta attesa;
    };
    const Riga righe[] = {
        {"portable folder, no file yet", {}, Scelta::Accanto},
        {"portable folder, user's file exists", {.utente = true}, Scelta::Utente},
        {"file beside that may be replaced", {.accanto = true, .utente = true}, Scelta::Accanto},
        {"read-only file beside: seeds the user's", {true, true}, Scelta::UtenteDaSeme},
        {"read-only file beside, user's exists", {true, true, false, true}, Scelta::Utente},
        {"a folder in place of the file", {.accantoCartella = true}, Scelta::Utente},
    };
    for (const auto& riga : righe) {
        CartellaProva cartella;
        EXPECT_EQ(scegli(cartella, riga.disposizione), riga.attesa) << riga.nome;
        SetFileAttributesW((cartella / u8"Programma è" / u8"Pulsiero.ini").c_str(),
                           FILE_ATTRIBUTE_NORMAL);
    }
}

TEST(PercorsoImpostazioni, semeCopiatoUnaVolta) {
    CartellaProva cartella;
    const auto seme = cartella / u8"Pulsiero.ini";
    prova::scrivi(seme, "[Server]\r\nIndirizzo=10.0.0.7\r\n");
    const auto utente = cartella / u8"AppData" / u8"Roaming" / u8"Pulsiero" / u8"pulsiero.ini";
    const win::SceltaImpostazioni scelta{utente.wstring(), seme.wstring()};
    EXPECT_EQ(win::percorsoImpostazioni(scelta), utente.wstring());
    EXPECT_EQ(prova::contenuto(utente), "[Server]\r\nIndirizzo=10.0.0.7\r\n");
    // The user's own file, once there, is never overwritten by the seed.
    prova::scrivi(utente, "[Server]\r\nIndirizzo=10.0.0.8\r\n");
    win::percorsoImpostazioni(scelta);
    EXPECT_EQ(prova::contenuto(utente), "[Server]\r\nIndirizzo=10.0.0.8\r\n");
}

// An administrator's seed is often read-only; the user's copy of it is the user's to change, or
// no setting and no step counter could ever be stored.
TEST(PercorsoImpostazioni, copiaDiSemeSolaLetturaScrivibile) {
    CartellaProva cartella;
    const auto seme = cartella / u8"Pulsiero.ini";
    prova::scrivi(seme, "[Server]\r\nPorta=200\r\n");
    SetFileAttributesW(seme.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto utente = cartella / u8"AppData" / u8"Pulsiero" / u8"pulsiero.ini";
    win::percorsoImpostazioni({utente.wstring(), seme.wstring()});
    EXPECT_EQ(prova::contenuto(utente), "[Server]\r\nPorta=200\r\n");
    EXPECT_FALSE(GetFileAttributesW(utente.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(ScriviIni("Server", "Porta", "300", prova::utf8(utente)));
    SetFileAttributesW(seme.c_str(), FILE_ATTRIBUTE_NORMAL);
}
