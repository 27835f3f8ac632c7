#pragma once

namespace pulsiero {

// How one key press ended, for callers that read no message boxes.
enum class EsitoTasto {
    Consegnato,    // the whole frame left over the connection to the receiver
    NonConsegnato, // a connection problem: the frame did not (all) leave
    NienteInviato, // the counter could not be stored or the port is not valid
};

// Exit statuses of one press from the command line (--tasto): the frame reached the receiver;
// a connection problem; the counter could not be stored, the settings or the options are wrong.
inline constexpr int kConsegnato = 0;
inline constexpr int kNonConsegnato = 1;
inline constexpr int kNienteInviato = 2;

// The exit status of a press that ended so.
constexpr int statoUscita(EsitoTasto esito) {
    switch (esito) {
    case EsitoTasto::Consegnato:
        return kConsegnato;
    case EsitoTasto::NonConsegnato:
        return kNonConsegnato;
    case EsitoTasto::NienteInviato:
        break;
    }
    return kNienteInviato;
}

} // namespace pulsiero
