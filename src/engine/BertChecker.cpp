#include "engine/BertChecker.h"

#include "engine/BertPattern.h"

namespace kvartix {

void BertChecker::Check(const std::uint8_t* data, std::size_t count, const std::uint8_t* body,
                        std::int32_t packetMask, std::uint16_t dataMask, bool& firstData,
                        std::int64_t& errors, BertCycleFlags& flags) {
    const auto differ = [dataMask](std::uint8_t x, std::uint8_t y) { return ((x ^ y) & dataMask) != 0; };
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t b = data[k];
        if (Hunting) {
            if (!differ(b, kStartCode1) && !differ(PrevSymbol, kStartCode0)) {
                RxPosition = 1;
                Hunting = false;
                ErrorRun = 0;
                firstData = false;
            } else if (!firstData) {
                ++errors;
            }
        } else if (differ(b, body[RxPosition])) {
            ++errors;
            ++ErrorRun;
            if (!differ(b, body[(RxPosition + 1) & packetMask])) {
                RxPosition = (RxPosition + 1) & packetMask;
                ErrorRun = 0;
                ++SymbolLostCount;
                flags.SymbolLost = true;
            } else if (ErrorRun == 3) {
                Hunting = true;
                ErrorRun = 0;
                ++SyncLostCount;
                flags.SyncLost = true;
            }
        } else {
            if (ErrorRun == 1) {
                ++InvalidSymbolCount;
                flags.InvalidSymbol = true;
            }
            ErrorRun = 0;
        }
        RxPosition = (RxPosition + 1) & packetMask;
        PrevSymbol = b;
    }
}

}  // namespace kvartix
