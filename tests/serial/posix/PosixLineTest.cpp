#include <gtest/gtest.h>
#include <termios.h>

#include "serial/posix/PosixLine.h"

namespace kvartix {
namespace {

struct TermiosRow {
    std::uint8_t Bits, Parity, Stop;
    tcflag_t Cflag;  // the frame bits expected
};

class TermiosFrame : public ::testing::TestWithParam<TermiosRow> {};

constexpr tcflag_t kFrameBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

TEST_P(TermiosFrame, the_record_frame_becomes_these_cflag_bits_and_reads_back_the_same) {
    const TermiosRow& f = GetParam();
    LineConfig c;
    c.ByteSize = f.Bits;
    c.Parity = f.Parity;
    c.StopBits = f.Stop;
    TermiosState t;
    ASSERT_TRUE(TermiosFor(c, t));
    EXPECT_EQ(t.Cflag & kFrameBits, f.Cflag);
    LineConfig back;
    ConfigFromTermios(t, back);
    EXPECT_EQ(back.ByteSize, f.Bits);
    EXPECT_EQ(back.Parity, f.Parity);
    EXPECT_EQ(back.StopBits, f.Stop);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, TermiosFrame,
    ::testing::Values(TermiosRow{8, 0, 0, CS8}, TermiosRow{7, 1, 0, CS7 | PARENB | PARODD},
                      TermiosRow{6, 2, 2, CS6 | PARENB | CSTOPB},
                      TermiosRow{8, 3, 2, CS8 | PARENB | PARODD | CMSPAR | CSTOPB},
                      TermiosRow{5, 4, 1, CS5 | PARENB | CMSPAR | CSTOPB},
                      TermiosRow{5, 0, 0, CS5}));

TEST(TermiosFor, is_raw_with_vmin_one_the_flow_characters_and_the_rate_as_a_number) {
    LineConfig c;
    c.BaudRate = 123457;
    c.fOutxCtsFlow = true;
    c.fOutX = c.fInX = true;
    c.XonChar = 0x21;
    c.XoffChar = 0x22;
    TermiosState t;
    t.Lflag = ICANON | ECHO;
    t.Iflag = ICRNL | IXON;
    ASSERT_TRUE(TermiosFor(c, t));
    EXPECT_EQ(t.Lflag, 0u);
    EXPECT_EQ(t.Oflag, 0u);
    EXPECT_EQ(t.Iflag & (ICRNL | IXON | IXOFF), 0u) << "Xon/Xoff stays out of the kernel";
    EXPECT_EQ(t.Cflag & (CRTSCTS | CLOCAL | CREAD | HUPCL), CRTSCTS | CLOCAL | CREAD | HUPCL);
    EXPECT_EQ(t.Cc[VMIN], 1);
    EXPECT_EQ(t.Cc[VTIME], 0);
    EXPECT_EQ(t.Cc[VSTART], 0x21);
    EXPECT_EQ(t.Cc[VSTOP], 0x22);
    EXPECT_EQ(t.Speed, 123457u);
}

TEST(TermiosFor, refuses_what_a_terminal_cannot_express) {
    const std::vector<std::pair<const char*, void (*)(LineConfig&)>> cases = {
        {"rate 0", [](LineConfig& c) { c.BaudRate = 0; }},
        {"parity 5", [](LineConfig& c) { c.Parity = 5; }},
        {"1.5 stop bits at 8 data bits", [](LineConfig& c) { c.StopBits = 1; }},
        {"2 stop bits at 5 data bits",
         [](LineConfig& c) {
             c.ByteSize = 5;
             c.StopBits = 2;
         }},
        {"4 data bits", [](LineConfig& c) { c.ByteSize = 4; }},
        {"DTR handshake", [](LineConfig& c) { c.fDtrControl = DTR_CONTROL_HANDSHAKE; }},
        {"RTS toggle", [](LineConfig& c) { c.fRtsControl = RTS_CONTROL_TOGGLE; }},
        {"DSR sensitivity", [](LineConfig& c) { c.fDsrSensitivity = true; }},
        {"error character", [](LineConfig& c) { c.fErrorChar = true; }},
        {"null stripping", [](LineConfig& c) { c.fNull = true; }},
        {"abort on error", [](LineConfig& c) { c.fAbortOnError = true; }},
        {"not binary", [](LineConfig& c) { c.fBinary = false; }},
        {"Xon equal to Xoff",
         [](LineConfig& c) {
             c.fInX = true;
             c.XoffChar = c.XonChar;
         }},
    };
    for (const auto& [name, edit] : cases) {
        LineConfig c;
        edit(c);
        TermiosState t;
        EXPECT_FALSE(TermiosFor(c, t)) << name;
    }
}

TEST(DriverKept, allows_a_rate_rounded_by_two_percent_and_nothing_else_dropped) {
    TermiosState asked;
    LineConfig c;
    c.BaudRate = 100000;
    c.Parity = 3;
    ASSERT_TRUE(TermiosFor(c, asked));
    TermiosState got = asked;
    EXPECT_TRUE(DriverKept(asked, got));
    got.Speed = 102000;
    EXPECT_TRUE(DriverKept(asked, got));
    got.Speed = 102100;
    EXPECT_FALSE(DriverKept(asked, got));
    got = asked;
    got.Cflag &= ~CMSPAR;
    EXPECT_FALSE(DriverKept(asked, got));
    got = asked;
    got.Cc[VMIN] = 0;
    EXPECT_FALSE(DriverKept(asked, got)) << "a read of nothing would look like a hang-up";
    got = asked;
    got.Cflag &= ~HUPCL;
    EXPECT_TRUE(DriverKept(asked, got));
}

}  // namespace
}  // namespace kvartix
