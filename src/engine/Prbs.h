#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/LinePattern.h"

namespace kvartix {

// A test pattern as a shift register: the sequence s obeys s(t) = s(t-Tap) xor s(t-Length)
// (the polynomial x^Length + x^Tap + 1), and the line carries s or its inverse. Fixed
// patterns are registers of their own: all-zeros has none, the alternation one stage.
struct SequenceDefinition {
    int Length = 0;  // register stages; 0 for all-zeros and all-ones
    int Tap = 0;     // 0: no feedback tap (the fixed patterns)
    bool Inverted = false;
    // A one is sent instead of a zero that has this many zeros after it (O.150 5.5); 0: none.
    int ZeroLimit = 0;
    const char* Polynomial = "";  // for people: "x^15 + x^14 + 1"
    const char* Clause = "";      // where O.150 gives it
};

const SequenceDefinition& DefinitionOf(LinePattern pattern);

// Why a BERT cannot send this pattern on a line with this flow control; empty when it can.
// Xon/Xoff would take the pattern's own characters 17 and 19 for flow control.
std::string PatternFlowProblem(LinePattern pattern, bool xonXoff);

// The history of s, newest bit in bit 0, and the step that extends it.
class SequenceRegister {
  public:
    explicit SequenceRegister(const SequenceDefinition& definition) : m_definition(&definition) {}

    // The bit s that follows the history.
    bool Predict() const;
    // Appends the predicted bit or a given one.
    void Advance() { Push(Predict()); }
    void Push(bool bit) { m_history = ((m_history << 1) | (bit ? 1u : 0u)) & Mask(); }
    // One step back: the newest bit goes, the one before the oldest comes back.
    void Retreat();
    std::uint32_t History() const { return m_history; }
    void SetHistory(std::uint32_t h) { m_history = h & Mask(); }
    const SequenceDefinition& Definition() const { return *m_definition; }

  private:
    std::uint32_t Mask() const {
        return m_definition->Length >= 32 ? ~0u : (1u << m_definition->Length) - 1u;
    }
    const SequenceDefinition* m_definition;
    std::uint32_t m_history = 0;
};

// The bits a pattern puts on the line, from O.150's starting phase (every stage at one) or
// from a register a checker found in the received bits.
class PatternGenerator {
  public:
    explicit PatternGenerator(LinePattern pattern);
    // Continues the sequence whose s bits up to the present one are in `history`: the next bit
    // given is the one after it.
    PatternGenerator(const SequenceDefinition& definition, std::uint32_t history);

    bool NextBit();
    // Fills each character's data bits in the order they go on the line, least significant
    // first; the bits above them stay 0.
    void Fill(std::uint8_t* out, std::size_t count, int dataBits);

  private:
    // The register runs ZeroLimit bits ahead of the output, so that the zero suppression
    // can see the zeros to come.
    SequenceRegister m_register;
};

}  // namespace kvartix
