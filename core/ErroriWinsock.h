#pragma once

#include <string_view>

namespace pulsiero {

// The Italian description of a Windows socket error number, the same in both builds: the Linux
// build reports its socket errors under these numbers too. Empty for a number the program has
// no words of its own for.
std::string_view descrizioneWinsock(int numero);

// A failure that none of those numbers describes.
inline constexpr int kReteNonDisponibile = 10050;

} // namespace pulsiero
