#pragma once

#include "core/VoceAvvioAutomatico.h"

#include <string>

namespace pulsiero::win {

// The auto-start entry: a text value under the current user's Run key, named after the
// executable, holding the command that starts it. Present and not empty means on.
class AvvioAutomatico : public VoceAvvioAutomatico {
public:
    static constexpr wchar_t kChiaveRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

    // comando: what the value holds (the executable, quoted, and its options).
    AvvioAutomatico(std::wstring nomeValore, std::wstring comando);

    // The command for this executable, with the settings file when one was given.
    static std::wstring comandoPer(const std::wstring& eseguibile,
                                   const std::wstring& fileImpostazioni);

    bool LeggiAvvioAuto() const override;
    bool scrivi() const override;
    bool elimina() const override;

private:
    std::wstring nomeValore_;
    std::wstring comando_;
};

} // namespace pulsiero::win
