#pragma once

#include <functional>

namespace pulsiero {

// The platform's record of starting the program at logon (an autostart entry, a Run value). It
// is the only record of the state: the menu item's tick mirrors it.
class VoceAvvioAutomatico {
public:
    virtual bool LeggiAvvioAuto() const = 0;
    // Each answers whether the entry is now as asked, read back afresh.
    virtual bool scrivi() const = 0;
    virtual bool elimina() const = 0;

protected:
    ~VoceAvvioAutomatico() = default;
};

// Turns auto-start on (attiva) or off for a click on the menu item whose tick shows it. The entry
// is read afresh first: one already as asked was changed from outside since the tick was set, so
// the click does nothing. Otherwise the tick follows only a confirmed change (spunta gets the new
// state). False when the entry could not be changed, for the caller to say so.
bool cambiaAvvioAutomatico(const VoceAvvioAutomatico& voce, bool attiva,
                           const std::function<void(bool)>& spunta);

} // namespace pulsiero
