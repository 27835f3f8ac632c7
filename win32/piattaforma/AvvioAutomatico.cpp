#include "win32/piattaforma/AvvioAutomatico.h"

#include "win32/piattaforma/Handle.h"

namespace pulsiero::win {

namespace {

ChiaveRegistro apriRun(REGSAM accesso) {
    HKEY chiave = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, AvvioAutomatico::kChiaveRun, 0, nullptr, 0, accesso,
                        nullptr, &chiave, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return ChiaveRegistro(chiave);
}

} // namespace

AvvioAutomatico::AvvioAutomatico(std::wstring nomeValore, std::wstring comando)
    : nomeValore_(std::move(nomeValore)), comando_(std::move(comando)) {}

std::wstring AvvioAutomatico::comandoPer(const std::wstring& eseguibile,
                                         const std::wstring& fileImpostazioni) {
    // Quoted, so that a folder with blanks ("Program Files") is not split into another program.
    std::wstring comando = L'"' + eseguibile + L'"';
    if (!fileImpostazioni.empty())
        comando += L" --impostazioni \"" + fileImpostazioni + L'"';
    return comando;
}

bool AvvioAutomatico::LeggiAvvioAuto() const {
    DWORD tipo = 0;
    DWORD byte = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kChiaveRun, nomeValore_.c_str(),
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &tipo, nullptr,
                     &byte) != ERROR_SUCCESS)
        return false;
    // The size counts the terminating zero: an empty text is two bytes.
    return byte > sizeof(wchar_t);
}

bool AvvioAutomatico::scrivi() const {
    if (const ChiaveRegistro run = apriRun(KEY_SET_VALUE))
        RegSetValueExW(run.get(), nomeValore_.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(comando_.c_str()),
                       static_cast<DWORD>((comando_.size() + 1) * sizeof(wchar_t)));
    return LeggiAvvioAuto();
}

bool AvvioAutomatico::elimina() const {
    if (const ChiaveRegistro run = apriRun(KEY_SET_VALUE))
        RegDeleteValueW(run.get(), nomeValore_.c_str());
    return !LeggiAvvioAuto();
}

} // namespace pulsiero::win
