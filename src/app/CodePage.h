#pragma once

#include <cstdint>

namespace kvartix {

// Windows-1251, the single-byte code page of the Cyrillic Windows desktop this program's users
// know. The terminal shows received bytes one character per byte through it and sends typed
// characters through it; a settings file that is not UTF-8 (written on Windows) is read and
// written through it. Every byte has a character of its own (0x98, unassigned, stands for
// itself), so bytes go through it and back unchanged.
char32_t FromCp1251(std::uint8_t byte);
// False for a character the code page cannot carry.
bool ToCp1251(char32_t c, std::uint8_t& byte);

}  // namespace kvartix
