#pragma once

// Texts are UTF-8 everywhere in the programs and UTF-16 at the Win32 API.

#include <string>
#include <string_view>

namespace pulsaro {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace pulsaro
