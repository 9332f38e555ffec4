#pragma once

#include <cstddef>
#include <cstdint>

namespace kvartix {

// Which packet events happened in one batch of received bytes.
struct BertCycleFlags {
    bool SyncLost = false;
    bool InvalidSymbol = false;
    bool SymbolLost = false;
};

// Receive side of the BERT: finds the start code, compares every symbol with the pattern
// and resynchronises after a loss.
struct BertChecker {
    bool Hunting = true;
    std::int32_t RxPosition = 0;
    std::uint8_t PrevSymbol = 0;
    std::int32_t ErrorRun = 0;
    std::int32_t SyncLostCount = 0;
    std::int32_t InvalidSymbolCount = 0;
    std::int32_t SymbolLostCount = 0;

    void ResetCounts() { SyncLostCount = InvalidSymbolCount = SymbolLostCount = 0; }
    void StartSession() {
        Hunting = true;
        RxPosition = 0;
        PrevSymbol = 0;
        ErrorRun = 0;
    }

    // Checks a batch against the pattern body. firstData is cleared at the session's first
    // start code; errors grows by the errored symbols.
    void Check(const std::uint8_t* data, std::size_t count, const std::uint8_t* body,
               std::int32_t packetMask, std::uint16_t dataMask, bool& firstData,
               std::int64_t& errors, BertCycleFlags& flags);
};

}  // namespace kvartix
