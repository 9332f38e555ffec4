#pragma once

#include <cstdint>
#include <vector>

#include "app/LinePattern.h"

namespace kvartix::test {

// The test patterns built the way ITU-T O.150 draws them, independent of the program's
// register: stages Q1..Qn all at one, each clock sends Qn and shifts Q(k) xor Q(n) into Q1.
// The zero-suppressed 2^20-1 sequence sends Q20 OR NOT(Q6 OR ... OR Q19) (O.150 5.5).
class O150Reference {
  public:
    explicit O150Reference(LinePattern p) {
        struct Row {
            LinePattern Pattern;
            int N, K;
            bool Inverted, ZeroSuppressed;
        };
        // Clauses 5.1 to 5.8 of O.150, as printed there.
        constexpr Row kRows[] = {
            {LinePattern::Prbs9, 9, 5, false, false},   {LinePattern::Prbs11, 11, 9, false, false},
            {LinePattern::Prbs15, 15, 14, true, false}, {LinePattern::Prbs20, 20, 3, false, false},
            {LinePattern::Qrss20, 20, 17, false, true}, {LinePattern::Prbs23, 23, 18, true, false},
            {LinePattern::Prbs31, 31, 28, true, false},
        };
        m_fixed = p;
        for (const Row& r : kRows)
            if (r.Pattern == p) {
                m_n = r.N;
                m_k = r.K;
                m_inverted = r.Inverted;
                m_zeroSuppressed = r.ZeroSuppressed;
                m_q.assign(static_cast<std::size_t>(m_n), true);
            }
    }

    bool Clock() {
        if (m_n == 0) {
            // All zeros, all ones, or 1, 0, 1, 0 from a one.
            if (m_fixed == LinePattern::Alt) return (m_t++ % 2) == 0;
            return m_fixed == LinePattern::Ones;
        }
        bool out = Q(m_n);
        if (m_zeroSuppressed) {
            bool any = false;
            for (int i = 6; i <= 19; ++i) any = any || Q(i);
            out = out || !any;
        } else if (m_inverted) {
            out = !out;
        }
        const bool feedback = Q(m_k) != Q(m_n);
        // Q(i) takes Q(i-1): Q1 moves one place on, the old Qn is overwritten.
        m_first = (m_first + m_n - 1) % m_n;
        m_q[static_cast<std::size_t>(m_first)] = feedback;
        return out;
    }

    std::vector<bool> Bits(std::size_t count) {
        std::vector<bool> bits(count);
        for (std::size_t i = 0; i < count; ++i) bits[i] = Clock();
        return bits;
    }

    // Characters of dataBits each, the first bit in the least significant place.
    std::vector<std::uint8_t> Characters(std::size_t count, int dataBits) {
        std::vector<std::uint8_t> chars(count);
        for (auto& c : chars)
            for (int b = 0; b < dataBits; ++b) c = static_cast<std::uint8_t>(c | (Clock() << b));
        return chars;
    }

  private:
    bool Q(int i) const { return m_q[static_cast<std::size_t>((m_first + i - 1) % m_n)]; }

    LinePattern m_fixed;
    int m_n = 0, m_k = 0;
    bool m_inverted = false, m_zeroSuppressed = false;
    std::vector<bool> m_q;
    int m_first = 0;  // where Q1 is
    std::int64_t m_t = 0;
};

}  // namespace kvartix::test
