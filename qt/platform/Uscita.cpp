#include "qt/platform/Uscita.h"

#include "qt/platform/IconaTray.h"
#include "qt/platform/Trasmettitore.h"

#include <QCoreApplication>

namespace pulsiero {

Uscita::Uscita(IconaTray& tray, Trasmettitore& trasmettitore)
    : tray_(tray), trasmettitore_(trasmettitore),
      termina_([](int codice) { QCoreApplication::exit(codice); }) {}

void Uscita::FineProgramma() {
    tray_.RimuoviIcona();
    if (trasmettitore_.connesso())
        trasmettitore_.chiudi();
    termina_(0);
}

} // namespace pulsiero
