#pragma once

#include <cstdint>

namespace kvartix {

// Received bytes are shown one character per byte through Windows-1251, the single-byte code
// page of the Cyrillic Windows desktop this program's users know; typed characters go out
// through it too.
char32_t FromCp1251(std::uint8_t byte);
// False for a character the code page cannot carry.
bool ToCp1251(char32_t c, std::uint8_t& byte);

}  // namespace kvartix
