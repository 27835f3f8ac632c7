#pragma once

#include <string>
#include <string_view>

namespace pulsiero::win {

// The core speaks UTF-8; Windows speaks UTF-16. These two are the only crossing.
std::wstring utf16(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

} // namespace pulsiero::win
