#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/Prbs.h"

namespace kvartix {

// What the checker has counted, in bits as well as in characters.
struct PatternCounts {
    std::int64_t BitsChecked = 0;  // compared while in sync
    std::int64_t BitErrors = 0;
    std::int64_t ErroredCharacters = 0;  // with at least one bit error
    std::int64_t SyncLosses = 0;
    bool InSync = false;
    bool EverInSync = false;
};

// Checks a received test pattern with no start code: it loads its register from the received
// bits and predicts each next one. After Length correct predictions in a row, and
// kConfirmBits more, it is in sync; from then on its own generator runs on and every bit is
// compared with it, so a bit error counts once (it never enters the register). kLossErrors
// errors among the last kLossWindow bits compared (a quarter: a slip, an inserted or dropped
// character, or a line that has stopped carrying the pattern) lose the sync; the hunt starts
// again from the bits that follow. The errors before the loss stay counted: a slip cannot be
// told from a burst until it has gone on for a while.
class PatternChecker {
  public:
    static constexpr int kConfirmBits = 32;
    static constexpr int kLossWindow = 64;
    static constexpr int kLossErrors = 16;

    PatternChecker(LinePattern pattern, int dataBits);

    // The data bits of each character, least significant first.
    void Check(const std::uint8_t* data, std::size_t count);
    const PatternCounts& Counts() const { return m_counts; }
    void ResetCounts();

  private:
    // True when the bit was compared and wrong.
    bool CheckBit(bool bit);
    void Hunt(bool bit);

    const SequenceDefinition& m_definition;
    int m_dataBits;
    SequenceRegister m_hunt;
    int m_loaded = 0;   // received bits in the hunt's register
    int m_correct = 0;  // predictions right in a row
    std::optional<PatternGenerator> m_reference;
    std::uint64_t m_recent = 0;  // which of the last 64 bits compared were wrong
    PatternCounts m_counts;
};

}  // namespace kvartix
