#include <gtest/gtest.h>

#include "serial/SessionParameters.h"

namespace kvartix {
namespace {

struct DeriveCase {
    std::int32_t BitRate;
    int DataBits;
    int Parity;
    int StopBits;
    bool RandomFlow;
    double BitsPerChar;
    std::int32_t CharsPerTick;
    std::int32_t QueueSize;
};

class SessionParametersDerive : public ::testing::TestWithParam<DeriveCase> {};

TEST_P(SessionParametersDerive, gives_frame_rate_and_queue) {
    const DeriveCase c = GetParam();
    LineSettings s;
    s.BitRate = c.BitRate;
    s.DataBits = c.DataBits;
    s.Parity = c.Parity;
    s.StopBits = c.StopBits;
    s.RandomFlow = c.RandomFlow;
    const SessionParameters p = DeriveSessionParameters(s);
    EXPECT_DOUBLE_EQ(p.BitsPerChar, c.BitsPerChar);
    EXPECT_EQ(p.CharsPerTick, c.CharsPerTick);
    EXPECT_EQ(p.QueueSize, c.QueueSize);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, SessionParametersDerive,
    ::testing::Values(DeriveCase{115200, 8, NoParity, OneStopBit, false, 10, 1152, 60000},
                      DeriveCase{115200, 8, NoParity, OneStopBit, true, 10, 1152, 1728},
                      DeriveCase{9600, 8, NoParity, OneStopBit, false, 10, 96, 60000},
                      DeriveCase{9600, 8, NoParity, OneStopBit, true, 10, 96, 144},
                      // 0.9166 rounds to 1; 1 x 1.5 is an exact half and goes to 2.
                      DeriveCase{110, 8, EvenParity, TwoStopBits, true, 12, 1, 2},
                      // Exact halves go to the even neighbour: 2.5 -> 2, 1.5 -> 2, 0.5 -> 0; a
                      // queue holds at least one character.
                      DeriveCase{175, 5, NoParity, OneStopBit, true, 7, 2, 3},
                      DeriveCase{105, 5, NoParity, OneStopBit, true, 7, 2, 3},
                      DeriveCase{35, 5, NoParity, OneStopBit, true, 7, 0, 1},
                      DeriveCase{-9600, 8, NoParity, OneStopBit, true, 10, 0, 1},
                      DeriveCase{10000000, 8, NoParity, OneStopBit, true, 10, 60000, 60000},
                      DeriveCase{2000000000, 7, OddParity, One5StopBits, false, 10.5, 60000,
                                 60000}));

TEST(SessionParameters, queue_rounding_takes_exact_halves_to_even) {
    // CharsPerTick 3, 5, 7 with random flow: 4.5 -> 4, 7.5 -> 8, 10.5 -> 10.
    EXPECT_EQ(RoundHalfEven(3 * 1.5), 4);
    EXPECT_EQ(RoundHalfEven(5 * 1.5), 8);
    EXPECT_EQ(RoundHalfEven(7 * 1.5), 10);
    EXPECT_EQ(RoundHalfEven(0.9166), 1);
}

TEST(SessionParameters, data_mask_and_packet_fields_follow_the_settings) {
    LineSettings s;
    for (int bits = 5; bits <= 8; ++bits) {
        s.DataBits = bits;
        EXPECT_EQ(DeriveSessionParameters(s).DataMask, (1u << bits) - 1) << bits;
    }
    s.PacketSize = 64;
    EXPECT_EQ(DeriveSessionParameters(s).PacketMask, 63);
    s.PacketSize = 1;
    EXPECT_EQ(DeriveSessionParameters(s).PacketMask, 2047);
    EXPECT_EQ(DeriveSessionParameters(s).TxStartPosition, 0);
    s.XonXoff = true;
    EXPECT_EQ(DeriveSessionParameters(s).TxStartPosition, -1);
}

}  // namespace
}  // namespace kvartix
