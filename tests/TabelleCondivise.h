#pragma once

// Tables that the tests of the Linux build and of the Windows build both check: for the same
// inputs the two builds make the same bytes, so a receiver and a settings file cannot tell which
// build sent or wrote them. The bytes were taken from the Linux build and are kept here as they
// are; a change to either build that changes one of them fails on both.

#include "core/Frame.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace pulsiero::condivise {

using namespace std::string_view_literals;

// "[Pulsiero]\r\nPasso=41\r\nnome=Caffè\r\n" as Notepad saves it in "Unicode": UTF-16 LE
// with its byte-order mark; the counter rows and the write rows change its "Passo".
inline constexpr std::string_view kUtf16 =
    "\xFF\xFE[\0P\0u\0l\0s\0i\0e\0r\0o\0]\0\r\0\n\0P\0a\0s\0s\0o\0=\0"
    "4\0"
    "1\0\r\0\n\0n\0o\0m\0e\0=\0C\0a\0f\0f\0\xE8\0\r\0\n\0"sv;
inline constexpr std::string_view kUtf16Passo42 =
    "\xFF\xFE[\0P\0u\0l\0s\0i\0e\0r\0o\0]\0\r\0\n\0P\0a\0s\0s\0o\0=\0"
    "4\0"
    "2\0\r\0\n\0n\0o\0m\0e\0=\0C\0a\0f\0f\0\xE8\0\r\0\n\0"sv;
inline constexpr std::string_view kUtf16Passo0 =
    "\xFF\xFE[\0P\0u\0l\0s\0i\0e\0r\0o\0]\0\r\0\n\0P\0a\0s\0s\0o\0=\0"
    "0\0\r\0\n\0n\0o\0m\0e\0=\0C\0a\0f\0f\0\xE8\0\r\0\n\0"sv;

// frame::build: the fields and the frame's text (empty: no frame, the check sum overflows).
struct RigaFrame {
    std::string_view nome;
    frame::Fields campi;
    std::string_view frame;
};
inline constexpr RigaFrame kFrame[] = {
    {"worked example"sv, {1, 1, 0, 630, 5, 1}, "FFFFE7E1F589AFFFFE8"sv},
    {"second example"sv, {12345, 7, 2, 1439, 0, 65535}, "FCFC6781D260FF00001"sv},
    {"midnight"sv, {12345, 7, 2, 0, 9, 1}, "FCFC6781D7FF6FFFFEC"sv},
    {"transmitter 127: field 0"sv, {12345, 127, 2, 600, 9, 1}, "FCFC601D5A76FFFFE4"sv},
    {"receiver 1048575: field 0"sv, {1048575, 1, 0, 630, 5, 1}, "07E1F589AFFFFE6"sv},
    {"negative step"sv, {12345, 7, 2, 600, 9, -2}, "FCFC6781D5A76FFF000019"sv},
    {"negative receiver"sv, {-1, 7, 2, 600, 9, 1}, "FFF00000781D5A76FFFFE2"sv},
    {"check sum overflows"sv, {2147483638, 7, 2, 0, 1, 0}, ""sv},
};

// CreaComando for receiver 12345, transmitter 7, key index 2 at 23:59 with random 0, on a
// settings file holding "prima" (empty: no file): the frame (empty: none) and the file after.
struct RigaContatore {
    std::string_view nome;
    std::string_view prima;
    std::string_view frame;
    std::string_view dopo;
};
inline constexpr RigaContatore kContatore[] = {
    {"no file"sv, ""sv, "FCFC6781D260FFFFFE3"sv, "[Pulsiero]\nPasso=1\n"sv},
    {"stored 65534, CRLF"sv, "[Pulsiero]\r\nPasso=65534\r\n"sv, "FCFC6781D260FF00001"sv,
     "[Pulsiero]\r\nPasso=65535\r\n"sv},
    {"stored 65535 wraps"sv, "[Pulsiero]\nPasso=65535\n"sv, "FCFC6781D260FFFFFE3"sv,
     "[Pulsiero]\nPasso=1\n"sv},
    {"stored -3"sv, "[Pulsiero]\nPasso=-3\n"sv, "FCFC6781D260FFFF000010"sv,
     "[Pulsiero]\nPasso=-2\n"sv},
    {"Windows-1252 name kept"sv, "[Pulsiero]\r\nnome=Caff\xE8\r\nPasso=9\r\n"sv,
     "FCFC6781D260FFFFF5C"sv, "[Pulsiero]\r\nnome=Caff\xE8\r\nPasso=10\r\n"sv},
    {"UTF-16 with BOM kept"sv, kUtf16, "FCFC6781D260FFFFD5C"sv, kUtf16Passo42},
    {"comments, case and other sections kept"sv,
     "; remote\r\n[Server]\r\nPorta=100\r\n[PULSIERO]\r\npasso = 7 \r\nt1=Cancello\r\n"sv,
     "FCFC6781D260FFFFF7A"sv,
     "; remote\r\n[Server]\r\nPorta=100\r\n[PULSIERO]\r\npasso =8\r\nt1=Cancello\r\n"sv},
    {"no final line end"sv, "[Pulsiero]\r\nPasso=2"sv, "FCFC6781D260FFFFFC5"sv,
     "[Pulsiero]\r\nPasso=3"sv},
    {"step 2147483647: nothing sent, file unchanged"sv, "[Pulsiero]\nPasso=2147483647\n"sv, ""sv,
     "[Pulsiero]\nPasso=2147483647\n"sv},
};

// ScriviIni on a file holding "prima" (empty: no file): the file afterwards.
struct RigaScrittura {
    std::string_view nome;
    std::string_view prima;
    std::string_view sezione;
    std::string_view chiave;
    std::string_view valore;
    std::string_view dopo;
};
inline constexpr RigaScrittura kScrittura[] = {
    {"new file"sv, ""sv, "Server"sv, "Indirizzo"sv, "192.168.1.20"sv,
     "[Server]\nIndirizzo=192.168.1.20\n"sv},
    {"new key in a CRLF file"sv, "[Server]\r\nPorta=100\r\n"sv, "Server"sv, "Indirizzo"sv,
     "10.0.0.1"sv, "[Server]\r\nPorta=100\r\nIndirizzo=10.0.0.1\r\n"sv},
    {"new section"sv, "[Server]\nPorta=100\n"sv, "Pulsiero"sv, "ID_Pul"sv, "5"sv,
     "[Server]\nPorta=100\n[Pulsiero]\nID_Pul=5\n"sv},
    {"replaced, case of the file's key kept"sv, "[Pulsiero]\nsuono=a.wav\n"sv, "Pulsiero"sv,
     "Suono"sv, "beep.wav"sv, "[Pulsiero]\nsuono=beep.wav\n"sv},
    {"UTF-8 text into a Windows-1252 file"sv, "[Pulsiero]\r\nnome=Caff\xE8\r\n"sv, "Pulsiero"sv,
     "t1"sv, "Perch\xC3\xA9"sv, "[Pulsiero]\r\nnome=Caff\xE8\r\nt1=Perch\xE9\r\n"sv},
    {"UTF-8 file stays UTF-8"sv, "[Pulsiero]\nnome=Caff\xC3\xA8\n"sv, "Pulsiero"sv, "t2"sv,
     "citt\xC3\xA0"sv, "[Pulsiero]\nnome=Caff\xC3\xA8\nt2=citt\xC3\xA0\n"sv},
    {"UTF-16 file stays UTF-16"sv, kUtf16, "Pulsiero"sv, "Passo"sv, "0"sv, kUtf16Passo0},
    {"leading blanks of the value dropped"sv, ""sv, "Pulsiero"sv, "nome"sv, "  Cancello "sv,
     "[Pulsiero]\nnome=Cancello \n"sv},
};

// LeggiIni on a file holding "file": the value, in UTF-8.
struct RigaLettura {
    std::string_view nome;
    std::string_view file;
    std::string_view sezione;
    std::string_view chiave;
    std::string_view predefinito;
    std::string_view valore;
};
inline constexpr RigaLettura kLettura[] = {
    {"missing key: fallback"sv, "[Server]\nPorta=100\n"sv, "Server"sv, "Indirizzo"sv, "127.0.0.1"sv,
     "127.0.0.1"sv},
    {"empty value, not the fallback"sv, "[Pulsiero]\nID_Dis=\n"sv, "Pulsiero"sv, "ID_Dis"sv, "1"sv,
     ""sv},
    {"names without regard to case"sv, "[pulsiero]\nSUONO = beep.wav \n"sv, "Pulsiero"sv, "suono"sv,
     ""sv, "beep.wav"sv},
    {"quotes removed"sv, "[Pulsiero]\nnome=\"Cancello\"\n"sv, "Pulsiero"sv, "nome"sv, ""sv,
     "Cancello"sv},
    {"Windows-1252 read as UTF-8"sv, "[Pulsiero]\r\nnome=Caff\xE8\r\n"sv, "Pulsiero"sv, "nome"sv,
     ""sv, "Caff\xC3\xA8"sv},
    {"UTF-16 read as UTF-8"sv, kUtf16, "Pulsiero"sv, "nome"sv, ""sv, "Caff\xC3\xA8"sv},
    {"first of two sections"sv, "[Pulsiero]\nPasso=1\n[Pulsiero]\nPasso=2\n"sv, "Pulsiero"sv,
     "Passo"sv, "0"sv, "1"sv},
};

// autenticazione::tramaAutenticata: keyed BLAKE2b from each build's libsodium.
struct RigaAutenticata {
    std::string_view nome;
    std::string_view chiave;
    std::string_view trama;
    std::uint16_t ciclo;
    std::string_view autenticata;
};
inline constexpr RigaAutenticata kAutenticata[] = {
    {"key 00 to 1F, wrap 0"sv, "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"sv,
     "FFFFE7E1F589AFFFFE8"sv, 0, "FFFFE7E1F589AFFFFE8-00007A478D7338B598FB7FCF2181A3541046"sv},
    {"key all FF, wrap 65535"sv,
     "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"sv, "FCFC6781D260FF00001"sv,
     65535, "FCFC6781D260FF00001-FFFF34CFD310157918E005BDFB0B3F48BFF1"sv},
};

} // namespace pulsiero::condivise
