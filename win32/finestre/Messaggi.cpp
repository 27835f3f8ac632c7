#include "win32/finestre/Messaggi.h"

namespace pulsiero::win::Messaggi {

namespace {

UINT icona(Avviso::Tipo tipo) {
    switch (tipo) {
    case Avviso::Tipo::Errore:
        return MB_ICONHAND;
    case Avviso::Tipo::Informazione:
        return MB_ICONINFORMATION;
    case Avviso::Tipo::Attenzione:
        break;
    }
    return MB_ICONEXCLAMATION;
}

// A hidden window cannot own a box the user will see.
HWND visibile(HWND finestra) {
    return finestra && IsWindowVisible(finestra) ? finestra : nullptr;
}

} // namespace

void mostra(HWND proprietaria, const Avviso& avviso) {
    MessageBoxW(visibile(proprietaria), avviso.testo.c_str(), avviso.titolo.c_str(),
                MB_OK | icona(avviso.tipo) | MB_SETFOREGROUND);
}

bool domanda(HWND proprietaria, const std::wstring& titolo, const std::wstring& testo) {
    return MessageBoxW(visibile(proprietaria), testo.c_str(), titolo.c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

} // namespace pulsiero::win::Messaggi
