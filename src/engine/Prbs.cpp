#include "engine/Prbs.h"

namespace kvartix {
namespace {

// ITU-T O.150 (05/96) clause 5 gives each sequence's register, its feedback and whether the
// line carries it inverted.
const SequenceDefinition kSpecs[] = {
    {},                                                   // the packets: none
    {9, 5, false, 0, "x^9 + x^5 + 1", "O.150 5.1"},       // 2^9-1
    {11, 9, false, 0, "x^11 + x^9 + 1", "O.150 5.2"},     // 2^11-1
    {15, 14, true, 0, "x^15 + x^14 + 1", "O.150 5.3"},    // 2^15-1, inverted
    {20, 3, false, 0, "x^20 + x^3 + 1", "O.150 5.4"},     // 2^20-1
    {20, 17, false, 14, "x^20 + x^17 + 1", "O.150 5.5"},  // 2^20-1, at most 14 zeros
    {23, 18, true, 0, "x^23 + x^18 + 1", "O.150 5.6"},    // 2^23-1, inverted
    {31, 28, true, 0, "x^31 + x^28 + 1", "O.150 5.8"},    // 2^31-1, inverted
    {0, 0, false, 0, "0", "all zeros"},
    {0, 0, true, 0, "1", "all ones"},
    {1, 0, false, 0, "1010", "alternating 0x55"},
};

}  // namespace

const SequenceDefinition& DefinitionOf(LinePattern pattern) {
    return kSpecs[static_cast<int>(pattern)];
}

std::string PatternFlowProblem(LinePattern pattern, bool xonXoff) {
    if (pattern == LinePattern::Packets || !xonXoff) return {};
    return std::string("The test pattern ") + PatternName(pattern) +
           " holds the characters Xon and Xoff and cannot run with Xon/Xoff flow control";
}

bool SequenceRegister::Predict() const {
    const SequenceDefinition& s = *m_definition;
    if (s.Length == 0) return false;
    if (s.Tap == 0) return (m_history & 1u) == 0;  // the alternation
    return (((m_history >> (s.Tap - 1)) ^ (m_history >> (s.Length - 1))) & 1u) != 0;
}

void SequenceRegister::Retreat() {
    const SequenceDefinition& s = *m_definition;
    // s(t-Length) = s(t) xor s(t-Tap), t the newest.
    const std::uint32_t oldest = (m_history ^ (m_history >> s.Tap)) & 1u;
    m_history = (m_history >> 1) | (oldest << (s.Length - 1));
}

PatternGenerator::PatternGenerator(LinePattern pattern) : m_register(DefinitionOf(pattern)) {
    const SequenceDefinition& s = DefinitionOf(pattern);
    if (s.Length == 0) return;
    if (s.Tap == 0) {
        m_register.SetHistory(1);  // the alternation begins with a one
        return;
    }
    // Every stage at one: the first Length bits of s are ones. Step back until the newest
    // bit of the history is the one ZeroLimit bits after the first to be sent.
    m_register.SetHistory(~0u);
    for (int i = 0; i < s.Length - 1 - s.ZeroLimit; ++i) m_register.Retreat();
}

PatternGenerator::PatternGenerator(const SequenceDefinition& definition, std::uint32_t history)
    : m_register(definition) {
    m_register.SetHistory(history);
    if (definition.Length == 0) return;
    for (int i = 0; i <= definition.ZeroLimit; ++i) m_register.Advance();
}

bool PatternGenerator::NextBit() {
    const SequenceDefinition& s = m_register.Definition();
    const std::uint32_t h = m_register.History();
    bool bit = ((h >> s.ZeroLimit) & 1u) != 0;
    if (s.ZeroLimit != 0 && (h & ((1u << s.ZeroLimit) - 1u)) == 0) bit = true;
    m_register.Advance();
    return bit != s.Inverted;
}

void PatternGenerator::Fill(std::uint8_t* out, std::size_t count, int dataBits) {
    for (std::size_t i = 0; i < count; ++i) {
        unsigned c = 0;
        for (int b = 0; b < dataBits; ++b) c |= (NextBit() ? 1u : 0u) << b;
        out[i] = static_cast<std::uint8_t>(c);
    }
}

}  // namespace kvartix
