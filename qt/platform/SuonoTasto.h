#pragma once

#include <QString>

#include <memory>

class QSoundEffect;

namespace pulsiero {

// The key sound. The player is created on the first press that needs one, so a program without
// a sound never pays for starting the multimedia backend.
class SuonoTasto {
public:
    SuonoTasto();
    ~SuonoTasto();

    // Plays the WAV file asynchronously: a relative name is taken from the executable's folder.
    // An empty name makes no call at all; a missing or unplayable file is silent.
    void suona(const QString& fileSuono);

    bool creato() const { return effetto_ != nullptr; }

    static QString percorso(const QString& fileSuono, const QString& cartellaEseguibile);

private:
    static constexpr int kAttesaCaricamentoMs = 1000;
    std::unique_ptr<QSoundEffect> effetto_;
};

} // namespace pulsiero
