#pragma once

#include <QString>

namespace pulsiero {

// Whether the program was started with no terminal to print on (a desktop action, a shortcut):
// it has no controlling terminal.
bool senzaTerminale();

// Shows a desktop notification through the session's notification service
// (org.freedesktop.Notifications). Without a session bus, or with no such service running,
// nothing happens: no service is started for it. Waits for the service at most a moment.
void notificaDesktop(const QString& titolo, const QString& testo);

} // namespace pulsiero
