#pragma once

#include "win32/piattaforma/Handle.h"

#include <functional>
#include <string>

namespace pulsiero::win {

// The notification-area icon with its pop-up menu ("Apri il pulsiero", "Fine programma"). Its
// notifications arrive at the owner window as kMessaggio; the owner hands them to notifica().
class IconaTray {
public:
    static constexpr UINT kMessaggio = WM_APP + 10;
    static constexpr UINT kIdApri = 70;
    static constexpr UINT kIdFine = 72;
    static constexpr std::size_t kLunghezzaMassimaTooltip = 64;

    IconaTray(HWND proprietaria, HICON icona);
    IconaTray(const IconaTray&) = delete;
    IconaTray& operator=(const IconaTray&) = delete;
    ~IconaTray();

    void quandoApri(std::function<void()> f) { apri_ = std::move(f); }
    void quandoFine(std::function<void()> f) { fine_ = std::move(f); }

    // Title, version and copyright notice, cut to the tooltip's length.
    static std::wstring tooltip();

    // false when there is no notification area to hold it.
    bool AggiungiIcona();
    void RimuoviIcona();
    bool presente() const { return presente_; }

    // The owner's messages: kMessaggio, and the shell's "TaskbarCreated" after a restart of the
    // shell, which re-adds the icon.
    bool gestisci(UINT messaggio, WPARAM w, LPARAM l);

private:
    void MostraMenuTray();

    HWND proprietaria_;
    HICON icona_;
    UINT taskbarCreata_;
    Menu menu_;
    bool presente_ = false;
    bool versione4_ = false;
    std::function<void()> apri_;
    std::function<void()> fine_;
};

} // namespace pulsiero::win
