#pragma once

// A folder of its own for each test, under the user's temporary folder, with a blank and
// non-ASCII letters in its name so that every path crosses the UTF-8 / UTF-16 boundary; removed
// with all it holds when the test ends.

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace pulsiero::prova {

class CartellaProva {
public:
    CartellaProva() {
        static std::atomic<int> numero{0};
        percorso_ =
            std::filesystem::temp_directory_path() /
            (u8"pulsiero prova è " +
             std::u8string(
                 reinterpret_cast<const char8_t*>(std::to_string(GetCurrentProcessId()).c_str())) +
             u8"-" +
             std::u8string(reinterpret_cast<const char8_t*>(std::to_string(numero++).c_str())));
        std::filesystem::remove_all(percorso_);
        std::filesystem::create_directories(percorso_);
    }
    ~CartellaProva() {
        std::error_code ignorato;
        std::filesystem::remove_all(percorso_, ignorato);
    }
    CartellaProva(const CartellaProva&) = delete;
    CartellaProva& operator=(const CartellaProva&) = delete;

    const std::filesystem::path& percorso() const { return percorso_; }
    std::filesystem::path operator/(std::u8string_view nome) const { return percorso_ / nome; }

private:
    std::filesystem::path percorso_;
};

// A path as the core takes it: UTF-8.
inline std::string utf8(const std::filesystem::path& percorso) {
    const std::u8string testo = percorso.u8string();
    return {testo.begin(), testo.end()};
}

inline void scrivi(const std::filesystem::path& percorso, std::string_view byte) {
    std::ofstream file(percorso, std::ios::binary);
    file.write(byte.data(), static_cast<std::streamsize>(byte.size()));
}

// The file's bytes; "<mancante>" when it cannot be read.
inline std::string contenuto(const std::filesystem::path& percorso) {
    std::ifstream file(percorso, std::ios::binary);
    if (!file)
        return "<mancante>";
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace pulsiero::prova
