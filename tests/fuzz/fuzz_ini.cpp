// The INI reader and writer on arbitrary bytes: no crash, no sanitizer report, a written value
// always reads back, and a document re-read from its own bytes writes the same bytes.
#include "core/IniDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using pulsiero::ini::IniDocument;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first part is the file, the rest a value to write (split at the last NUL).
    const auto split = input.rfind('\0');
    const std::string_view file = split == std::string_view::npos ? input : input.substr(0, split);
    const std::string_view value =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    auto doc = IniDocument::fromBytes(file);
    (void)doc.value("Pulsiero", "Passo");
    (void)doc.value("Server", "Indirizzo", "127.0.0.1");
    const std::string bytes = doc.toBytes();
    if (bytes != file)
        std::abort(); // reading must never change the file

    doc.setValue("Pulsiero", "Passo", value);
    if (!doc.value("Pulsiero", "Passo"))
        std::abort();
    const std::string written = doc.toBytes();
    if (IniDocument::fromBytes(written).toBytes() != written)
        std::abort();
    return 0;
}
