#pragma once

class QApplication;

namespace pulsiero {

// What the whole program shares before its first window: Qt's own texts in Italian (standard
// buttons, context menus), whatever the locale, and the hand icon on every window, message
// boxes included.
void preparaApplicazione(QApplication& applicazione);

} // namespace pulsiero
