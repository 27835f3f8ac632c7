// The file layer's Win32 port on real files under Wine: the lock and its bounded wait, durable
// replacement and its refusals, reads with their limits, copies that never replace, folders,
// and paths that are not ASCII (every test folder's name has a blank and an "è").
#include "tests/win32/CartellaProva.h"

#include "core/FileSystem.h"
#include "core/IniFile.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace pulsiero;
using namespace std::chrono_literals;
using prova::CartellaProva;
using prova::utf8;

namespace {

DWORD attributi(const std::filesystem::path& percorso) {
    return GetFileAttributesW(percorso.c_str());
}

// Whatever the folder holds besides the names given: a temporary file left behind shows here.
std::vector<std::string> altri(const CartellaProva& cartella, std::vector<std::string> attesi) {
    std::vector<std::string> trovati;
    for (const auto& voce : std::filesystem::directory_iterator(cartella.percorso())) {
        const std::string nome = utf8(voce.path().filename());
        if (std::find(attesi.begin(), attesi.end(), nome) == attesi.end())
            trovati.push_back(nome);
    }
    return trovati;
}

// A process of this test, held suspended (so running) until finisci().
class Figlio {
public:
    Figlio() {
        wchar_t sistema[MAX_PATH] = {};
        GetSystemDirectoryW(sistema, MAX_PATH);
        std::wstring riga = L"\"" + std::wstring(sistema) + L"\\cmd.exe\" /c exit";
        STARTUPINFOW avvio{};
        avvio.cb = sizeof avvio;
        CreateProcessW(nullptr, riga.data(), nullptr, nullptr, FALSE,
                       CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &avvio, &info_);
    }
    Figlio(const Figlio&) = delete;
    Figlio& operator=(const Figlio&) = delete;
    ~Figlio() { finisci(); }
    std::string id() const { return std::to_string(info_.dwProcessId); }
    void finisci() {
        if (!info_.hProcess)
            return;
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, INFINITE);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
        info_.hProcess = nullptr;
    }

private:
    PROCESS_INFORMATION info_{};
};

} // namespace

TEST(Blocco, unoPerVoltaEAttesaLimitata) {
    CartellaProva cartella;
    const std::string blocco = utf8(cartella / u8".pulsiero.ini.lock");
    auto primo = file::Blocco::prendi(blocco, 0ms);
    ASSERT_TRUE(primo);
    EXPECT_TRUE(attributi(cartella / u8".pulsiero.ini.lock") & FILE_ATTRIBUTE_HIDDEN);
    for (const auto attesa : {0ms, 150ms}) {
        const auto secondo = file::Blocco::prendi(blocco, attesa);
        ASSERT_FALSE(secondo);
        EXPECT_EQ(secondo.errore().causa, file::Causa::InUso);
        EXPECT_EQ(secondo.errore().attesa, attesa);
        EXPECT_EQ(secondo.errore().percorso, blocco);
    }
    // Deleting or replacing a held lock file would let another copy lock a different file.
    EXPECT_FALSE(DeleteFileW((cartella / u8".pulsiero.ini.lock").c_str()));
    primo = file::Blocco::prendi(utf8(cartella / u8"altro.lock"), 0ms); // releases the first
    EXPECT_TRUE(file::Blocco::prendi(blocco, 0ms));
}

TEST(Blocco, nonUnFileRegolare) {
    CartellaProva cartella;
    std::filesystem::create_directory(cartella / u8"cartella.lock");
    for (const std::string& percorso : {utf8(cartella / u8"cartella.lock"), std::string("NUL")}) {
        const auto blocco = file::Blocco::prendi(percorso, 0ms);
        ASSERT_FALSE(blocco) << percorso;
        EXPECT_EQ(blocco.errore().causa, file::Causa::NonRegolare) << percorso;
    }
}

TEST(LeggiTutto, contenutoELimiti) {
    CartellaProva cartella;
    const std::string byte("[Pulsiero]\r\nnome=Caff\xE8\0x\n", 24);
    prova::scrivi(cartella / u8"città.ini", byte);
    std::filesystem::create_directory(cartella / u8"cartella");
    const auto letto = file::leggiTutto(utf8(cartella / u8"città.ini"), 24);
    ASSERT_TRUE(letto);
    EXPECT_EQ(*letto, byte);

    struct Riga {
        const char* nome;
        std::string percorso;
        std::size_t limite;
        file::Causa causa;
    };
    const Riga righe[] = {
        {"missing", utf8(cartella / u8"manca.ini"), 100, file::Causa::Mancante},
        {"missing folder", utf8(cartella / u8"manca" / u8"x.ini"), 100, file::Causa::Mancante},
        {"a folder", utf8(cartella / u8"cartella"), 100, file::Causa::NonRegolare},
        {"a device", "NUL", 100, file::Causa::NonRegolare},
        {"one byte over the limit", utf8(cartella / u8"città.ini"), 23, file::Causa::TroppoGrande},
    };
    for (const auto& riga : righe) {
        const auto esito = file::leggiTutto(riga.percorso, riga.limite);
        ASSERT_FALSE(esito) << riga.nome;
        EXPECT_EQ(esito.errore().causa, riga.causa) << riga.nome;
        EXPECT_FALSE(file::perche(esito.errore()).empty()) << riga.nome;
    }
}

TEST(Sostituisci, nuovoEsostituito) {
    CartellaProva cartella;
    const auto ini = cartella / u8"pulsiero.ini";
    ASSERT_TRUE(file::sostituisci(utf8(ini), "[Pulsiero]\r\nPasso=1\r\n"));
    EXPECT_EQ(prova::contenuto(ini), "[Pulsiero]\r\nPasso=1\r\n");
    // A hidden file stays hidden; its other content is gone, not appended to.
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(file::sostituisci(utf8(ini), "x"));
    EXPECT_EQ(prova::contenuto(ini), "x");
    EXPECT_TRUE(attributi(ini) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(altri(cartella, {"pulsiero.ini"}), std::vector<std::string>{});
}

TEST(Sostituisci, rifiuti) {
    CartellaProva cartella;
    const auto soloLettura = cartella / u8"sola lettura.ini";
    prova::scrivi(soloLettura, "Passo=7");
    SetFileAttributesW(soloLettura.c_str(), FILE_ATTRIBUTE_READONLY);
    std::filesystem::create_directory(cartella / u8"cartella.ini");
    struct Riga {
        const char* nome;
        std::string percorso;
        file::Causa causa;
    };
    const Riga righe[] = {
        {"read-only file", utf8(soloLettura), file::Causa::Negato},
        {"a folder", utf8(cartella / u8"cartella.ini"), file::Causa::NonRegolare},
        {"missing folder", utf8(cartella / u8"manca" / u8"p.ini"), file::Causa::Mancante},
    };
    for (const auto& riga : righe) {
        const auto esito = file::sostituisci(riga.percorso, "Passo=8");
        ASSERT_FALSE(esito) << riga.nome;
        EXPECT_EQ(esito.errore().causa, riga.causa) << riga.nome;
    }
    EXPECT_EQ(prova::contenuto(soloLettura), "Passo=7");
    EXPECT_TRUE(std::filesystem::is_directory(cartella / u8"cartella.ini"));
    EXPECT_EQ(altri(cartella, {"sola lettura.ini", "cartella.ini"}), std::vector<std::string>{});
    SetFileAttributesW(soloLettura.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CopiaSeManca, maiSopraUnFileEsistente) {
    CartellaProva cartella;
    prova::scrivi(cartella / u8"origine.ini", "Passo=3\r\n");
    const auto copia = cartella / u8"copia.ini";
    ASSERT_TRUE(file::copiaSeManca(utf8(cartella / u8"origine.ini"), utf8(copia), 100));
    EXPECT_EQ(prova::contenuto(copia), "Passo=3\r\n");
    prova::scrivi(copia, "mio");
    const auto ancora = file::copiaSeManca(utf8(cartella / u8"origine.ini"), utf8(copia), 100);
    ASSERT_FALSE(ancora);
    EXPECT_EQ(ancora.errore().causa, file::Causa::Esistente);
    EXPECT_EQ(prova::contenuto(copia), "mio");
    EXPECT_EQ(altri(cartella, {"origine.ini", "copia.ini"}), std::vector<std::string>{});
}

TEST(CreaCartelle, annidateEFileDiMezzo) {
    CartellaProva cartella;
    const auto profonda = cartella / u8"Pulsiero" / u8"più giù";
    ASSERT_TRUE(file::creaCartelle(utf8(profonda)));
    EXPECT_TRUE(std::filesystem::is_directory(profonda));
    EXPECT_TRUE(file::creaCartelle(utf8(profonda)));
    prova::scrivi(cartella / u8"file", "");
    const auto esito = file::creaCartelle(utf8(cartella / u8"file"));
    ASSERT_FALSE(esito);
    EXPECT_EQ(esito.errore().causa, file::Causa::NonRegolare);
}

TEST(Percorsi, cartellaENome) {
    struct Riga {
        std::string percorso, cartella, nome;
    };
    const Riga righe[] = {
        {"C:\\Programmi\\Pulsiero\\pulsiero.ini", "C:\\Programmi\\Pulsiero", "pulsiero.ini"},
        {"C:\\pulsiero.ini", "C:\\", "pulsiero.ini"},
        {"C:pulsiero.ini", "C:", "pulsiero.ini"},
        {"\\pulsiero.ini", "\\", "pulsiero.ini"},
        {"cartella/pulsiero.ini", "cartella", "pulsiero.ini"},
        {"pulsiero.ini", ".", "pulsiero.ini"},
    };
    for (const auto& riga : righe) {
        EXPECT_EQ(file::cartellaDi(riga.percorso), riga.cartella) << riga.percorso;
        EXPECT_EQ(file::nomeDi(riga.percorso), riga.nome) << riga.percorso;
    }
}

TEST(Sostituisci, attraversoUnCollegamento) {
    CartellaProva cartella;
    const auto vero = cartella / u8"vero.ini";
    const auto collegamento = cartella / u8"collegamento.ini";
    prova::scrivi(vero, "Passo=1");
    // Wine 8 answers success without making the link; Windows without developer mode refuses.
    if (!CreateSymbolicLinkW(collegamento.c_str(), vero.c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
        attributi(collegamento) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "collegamenti simbolici non disponibili";
    ASSERT_TRUE(file::sostituisci(utf8(collegamento), "Passo=2"));
    EXPECT_EQ(prova::contenuto(vero), "Passo=2");
    EXPECT_TRUE(attributi(collegamento) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(file::percorsoReale(utf8(collegamento)), utf8(vero));
}

// A temporary that a writer killed before its move left beside the file goes with the next
// save; one of a process still running, a folder, or a name that only looks like ours stays.
TEST(Sostituisci, temporaneiAbbandonati) {
    CartellaProva cartella;
    Figlio finito, vivo;
    finito.finisci();
    struct Riga {
        const char* nome;
        std::string voce;
        bool cartella;
        bool rimossa;
    };
    const std::string nostro = ".pulsiero.ini.pulsiero-";
    const Riga righe[] = {
        {"ours, process ended", nostro + finito.id() + "-3-812736", false, true},
        {"ours, process running", nostro + vivo.id() + "-3-812736", false, false},
        {"folder", nostro + finito.id() + "-4-812736", true, false},
        {"another file's", ".altro.ini.pulsiero-" + finito.id() + "-3-812736", false, false},
        {"a suffix after", nostro + finito.id() + "-3-812736.bak", false, false},
    };
    for (const auto& riga : righe) {
        const auto voce = cartella.percorso() / riga.voce;
        if (riga.cartella)
            std::filesystem::create_directory(voce);
        else
            prova::scrivi(voce, "mezzo");
    }
    ASSERT_TRUE(file::sostituisci(utf8(cartella / u8"pulsiero.ini"), "Passo=8"));
    for (const auto& riga : righe)
        EXPECT_EQ(std::filesystem::exists(cartella.percorso() / riga.voce), !riga.rimossa)
            << riga.nome;
}

// The settings file on this layer: a lock held by another copy fails the write within the bound
// and leaves the file as it was, lock file and temporaries included.
TEST(Impostazioni, bloccoTenutoNessunaScrittura) {
    CartellaProva cartella;
    const auto ini = cartella / u8"pulsiero.ini";
    prova::scrivi(ini, "[Pulsiero]\r\nPasso=41\r\n");
    const auto tenuto = ini::bloccaImpostazioni(utf8(ini));
    ASSERT_TRUE(tenuto);
    EXPECT_FALSE(ScriviIni("Pulsiero", "Passo", "42", utf8(ini)));
    EXPECT_EQ(prova::contenuto(ini), "[Pulsiero]\r\nPasso=41\r\n");
    EXPECT_EQ(altri(cartella, {"pulsiero.ini", ".pulsiero.ini.lock"}), std::vector<std::string>{});
}
