#include "win32/app/RigaDiComando.h"

#include "win32/piattaforma/Percorsi.h"
#include "win32/piattaforma/Testi.h"
#include "win32/risorse/risorse.h"

#include <shellapi.h>
#include <windows.h>

namespace pulsiero::win {

namespace {

RigaDiComando rigaErrata(std::wstring testo) {
    RigaDiComando riga;
    riga.azione = RigaDiComando::Azione::Errore;
    riga.errore = std::move(testo);
    return riga;
}

// The option's name without its dashes, and its value when written "--name=value".
struct Opzione {
    std::wstring nome;
    std::wstring valore;
    bool conValore = false;
};

bool leggiOpzione(const std::wstring& argomento, Opzione& opzione) {
    if (argomento.size() < 2 || argomento[0] != L'-')
        return false;
    std::wstring nome = argomento.substr(argomento[1] == L'-' ? 2 : 1);
    const auto uguale = nome.find(L'=');
    opzione = {nome.substr(0, uguale), {}, uguale != std::wstring::npos};
    if (opzione.conValore)
        opzione.valore = nome.substr(uguale + 1);
    return true;
}

bool e(const Opzione& o, const wchar_t* breve, const wchar_t* lunga) {
    return o.nome == breve || o.nome == lunga;
}

} // namespace

RigaDiComando RigaDiComando::leggi(const std::vector<std::wstring>& argomenti) {
    RigaDiComando riga;
    bool aiuto = false;
    bool versione = false;
    std::wstring tasto;
    bool conTasto = false;
    for (std::size_t i = 0; i < argomenti.size(); ++i) {
        Opzione o;
        if (!leggiOpzione(argomenti[i], o))
            return rigaErrata(Testo(IDS_RIGA_INATTESO, argomenti[i]));
        const bool vuoleValore = e(o, L"t", L"tasto") || e(o, L"i", L"impostazioni");
        if (vuoleValore && !o.conValore) {
            if (i + 1 >= argomenti.size())
                return rigaErrata(Testo(IDS_RIGA_MANCA_VALORE, argomenti[i]));
            o.valore = argomenti[++i];
        }
        if (e(o, L"h", L"help") && !o.conValore)
            aiuto = true;
        else if (e(o, L"v", L"version") && !o.conValore)
            versione = true;
        else if (e(o, L"t", L"tasto")) {
            tasto = o.valore;
            conTasto = true;
        } else if (e(o, L"i", L"impostazioni")) {
            if (o.valore.empty())
                return rigaErrata(Testo(IDS_RIGA_FILE_VUOTO));
            riga.impostazioni = percorsoAssoluto(o.valore);
        } else {
            return rigaErrata(Testo(IDS_RIGA_SCONOSCIUTA, argomenti[i]));
        }
    }
    if (aiuto) {
        riga.azione = Azione::Aiuto;
    } else if (versione) {
        riga.azione = Azione::Versione;
    } else if (conTasto) {
        if (tasto.size() != 1 || tasto[0] < L'1' || tasto[0] > L'4')
            return rigaErrata(Testo(IDS_RIGA_TASTO, tasto));
        riga.azione = Azione::Tasto;
        riga.tasto = tasto[0] - L'0';
    }
    return riga;
}

std::wstring RigaDiComando::argomentiDelleVoci() const {
    if (impostazioni.empty())
        return {};
    return L"--impostazioni \"" + impostazioni + L'"';
}

std::vector<std::wstring> argomentiDelProcesso() {
    int n = 0;
    LPWSTR* lista = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::wstring> argomenti;
    for (int i = 1; i < n; ++i)
        argomenti.emplace_back(lista[i]);
    LocalFree(lista);
    return argomenti;
}

} // namespace pulsiero::win
