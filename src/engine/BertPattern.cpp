#include "engine/BertPattern.h"

#include <algorithm>

namespace kvartix {

void BuildBertPattern(BertPattern& pattern, std::int32_t packetSize, std::uint16_t dataMask,
                      std::uint8_t symbol, Random& random) {
    random.RandomSeed = 123456;
    std::uint8_t* body = pattern.At(0);
    *pattern.At(-1) = 17;
    std::fill_n(body, kPatternBody, std::uint8_t{0});
    if (packetSize == 1) {
        std::fill_n(body, kPatternBody, static_cast<std::uint8_t>(symbol & dataMask));
        return;
    }
    body[0] = kStartCode0;
    body[1] = kStartCode1;
    for (std::int32_t i = 2; i < packetSize; ++i) {
        std::uint8_t b;
        do {
            b = static_cast<std::uint8_t>(random.RandomBelow(255) & dataMask);
        } while (b == 17 || b == 19 || (b == kStartCode1 && body[i - 1] == kStartCode0));
        body[i] = b;
    }
    const std::int32_t copies = kPatternBody / packetSize - 1;
    for (std::int32_t j = 1; j <= copies; ++j) std::copy_n(body, packetSize, body + j * packetSize);
}

}  // namespace kvartix
