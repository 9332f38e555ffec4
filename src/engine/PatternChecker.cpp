#include "engine/PatternChecker.h"

#include <bit>

namespace kvartix {

PatternChecker::PatternChecker(LinePattern pattern, int dataBits)
    : m_definition(DefinitionOf(pattern)), m_dataBits(dataBits), m_hunt(m_definition) {}

void PatternChecker::ResetCounts() {
    const bool inSync = m_counts.InSync, ever = m_counts.EverInSync;
    m_counts = PatternCounts{};
    m_counts.InSync = inSync;
    m_counts.EverInSync = ever;
}

void PatternChecker::Check(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        bool errored = false;
        for (int b = 0; b < m_dataBits; ++b) errored |= CheckBit(((data[i] >> b) & 1u) != 0);
        if (errored) ++m_counts.ErroredCharacters;
    }
}

bool PatternChecker::CheckBit(bool bit) {
    if (!m_reference) {
        Hunt(bit);
        return false;
    }
    const bool wrong = m_reference->NextBit() != bit;
    ++m_counts.BitsChecked;
    m_recent = (m_recent << 1) | (wrong ? 1u : 0u);
    if (!wrong) return false;
    ++m_counts.BitErrors;
    if (std::popcount(m_recent) >= kLossErrors) {
        ++m_counts.SyncLosses;
        m_counts.InSync = false;
        m_reference.reset();
        m_loaded = m_correct = 0;
    }
    return true;
}

void PatternChecker::Hunt(bool bit) {
    // The register holds s: the line's bit with the pattern's inversion taken off.
    const bool s = bit != m_definition.Inverted;
    if (m_loaded < m_definition.Length) {
        m_hunt.Push(s);
        ++m_loaded;
        return;
    }
    // An all-zero register predicts zeros for ever; no sequence of the list holds one.
    const bool usable = m_definition.Tap == 0 || m_hunt.History() != 0;
    m_correct = usable && m_hunt.Predict() == s ? m_correct + 1 : 0;
    m_hunt.Push(s);
    if (m_correct < m_definition.Length + kConfirmBits) return;
    m_reference.emplace(m_definition, m_hunt.History());
    m_recent = 0;
    m_counts.InSync = m_counts.EverInSync = true;
}

}  // namespace kvartix
