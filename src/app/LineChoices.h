#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>

namespace kvartix {

// The choices the windows and kvartix-cli offer for a line, in the order the lists show them,
// and what a new settings file starts with.

inline constexpr std::int32_t kDefaultBitRate = 115200;
inline constexpr std::int32_t kDefaultPacketSize = 512;
inline constexpr std::uint8_t kDefaultSymbol = 0x5A;

// The bit-rate box's list; any other whole number may be typed.
inline constexpr std::array<std::int32_t, 14> kBitRateEntries{
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400, 460800};

inline constexpr std::array<std::int32_t, 11> kPacketSizeEntries{1,   4,   8,   16,   32,  64,
                                                                 128, 256, 512, 1024, 2048};

// By the stored index: 0, 1, 2 are one, one and a half and two stop bits.
inline constexpr std::array<const char*, 3> kStopBitNames{"1", "1.5", "2"};

// By the stored index: none, odd, even, mark, space.
inline constexpr std::array<const char*, 5> kParityNames{"none", "odd", "even", "mark", "space"};
inline constexpr std::array<char, 5> kParityLetters{'N', 'O', 'E', 'M', 'S'};

// "a|b|c".
template <typename List>
std::string ChoiceList(const List& list) {
    std::string text;
    for (const auto& entry : list) {
        if (!text.empty()) text += '|';
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(entry)>>)
            text += std::to_string(entry);
        else
            text += entry;
    }
    return text;
}

}  // namespace kvartix
