#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "engine/Engine.h"
#include "engine/RateChart.h"
#include "engine/RunRecord.h"
#include "engine/Statistics.h"
#include "support/EngineProbe.h"
#include "support/FakeCommPort.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

TEST(StatisticsText, received_is_cut_not_rounded_with_a_point) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 symb"},          {9999, "9999 symb"},         {10000, "10.0 Ksymb"},
        {12345, "12.3 Ksymb"},  {999999, "999.9 Ksymb"},     {1000000, "1.0 Msymb"},
        {123456789, "123.4 Msymb"}, {5000000000, "5000.0 Msymb"}};
    for (const auto& [r, text] : cases) EXPECT_EQ(ReceivedText(r), text) << r;
}

TEST(StatisticsText, coefficient_has_two_digits_and_a_signed_exponent) {
    EXPECT_EQ(CoefficientText(1, 1000, '.'), "1.0E-03");
    EXPECT_EQ(CoefficientText(1, 3, '.'), "3.3E-01");
    EXPECT_EQ(CoefficientText(5, 1234567, '.'), "4.1E-06");
    EXPECT_EQ(CoefficientText(1, 1000, ','), "1,0E-03");
    EXPECT_EQ(CoefficientText(7, 7, '.'), "1.0E+00");
}

TEST(StatisticsText, elapsed_time_goes_past_a_day) {
    EXPECT_EQ(ElapsedText(0), "0:00:00");
    EXPECT_EQ(ElapsedText(3'723'999), "1:02:03");
    EXPECT_EQ(ElapsedText(25LL * 3600 * 1000 + 1000), "25:00:01");
}

// An engine on a scripted port, its clock just past a whole second.
class StatsCycle : public ::testing::Test {
protected:
    void Begin(std::int64_t offsetMs = 0) {
        clock.AdvanceMs(offsetMs);
        const SessionParameters p = DeriveSessionParameters(settings);
        engine.SetRateAxis(settings.BitRate);
        engine.BeginSession(port, events.WriteTransfer, events.ReadTransfer, TestMode::Bert,
                            settings, p);
        engine.Tick();
    }
    // Queues characters for the next read, then runs ticks for the given time.
    void Run(int chars, int ticks = 10) {
        if (chars > 0) port.S.Reads.push_back(std::vector<std::uint8_t>(chars, 0));
        for (int i = 0; i < ticks; ++i) {
            clock.AdvanceMs(100);
            engine.Tick();
        }
    }
    std::string Cell(StatCell c) { return view.Stats[c]; }

    test::ManualClock clock;
    test::RecordingView view;
    test::RecordingBox box;
    TransferEvents events;
    test::FakeCommPort port;
    LineSettings settings;
    Engine engine{view, box, clock};
};

TEST_F(StatsCycle, averages_use_whole_tenths_since_the_start) {
    Begin();
    Run(960);
    EXPECT_EQ(view.Seconds, 1);
    EXPECT_EQ(Cell(StatCell::CharRate), "960");
    EXPECT_EQ(Cell(StatCell::BitRate), "9600");
    EXPECT_EQ(Cell(StatCell::Received), "960 symb");
    EXPECT_EQ(Cell(StatCell::Time), "0:00:01");
}

TEST_F(StatsCycle, a_first_update_after_nine_tenths_divides_by_nine) {
    Begin(100);
    Run(1000, 9);
    EXPECT_EQ(Cell(StatCell::CharRate), "1111");
    EXPECT_EQ(Cell(StatCell::BitRate), "11110");
}

TEST_F(StatsCycle, bit_rate_is_the_truncated_char_rate_times_the_frame) {
    settings.DataBits = 7;
    settings.Parity = EvenParity;
    settings.StopBits = One5StopBits;
    Begin();
    Run(1000);
    EXPECT_EQ(Cell(StatCell::BitRate), "10500");
}

TEST_F(StatsCycle, chart_value_is_in_the_axis_unit_and_truncated) {
    Begin();  // 115200: Kbit/s
    Run(11520);
    EXPECT_EQ(view.Chart.Points().back().Y, 115);
    EXPECT_EQ(view.Chart.Points().size(), 20u);

    settings.BitRate = 9600;
    engine.SetRateAxis(9600);
    Run(960);
    EXPECT_EQ(view.Chart.Points().back().Y, 9600);
}

struct Frame {
    int DataBits, Parity, StopBits;
    int CharsInASecond;
    std::int64_t Point;  // bit/s on a 9600 axis
};

class ChartFrame : public StatsCycle, public ::testing::WithParamInterface<Frame> {};

TEST_P(ChartFrame, a_chart_point_counts_every_bit_of_the_frame) {
    settings.BitRate = 9600;
    settings.DataBits = GetParam().DataBits;
    settings.Parity = GetParam().Parity;
    settings.StopBits = GetParam().StopBits;
    Begin();
    Run(GetParam().CharsInASecond);
    EXPECT_EQ(view.Chart.Points().back().Y, GetParam().Point);
}

INSTANTIATE_TEST_SUITE_P(Frames, ChartFrame,
                         ::testing::Values(Frame{8, EvenParity, TwoStopBits, 800, 9600},  // 12 bits
                                           Frame{7, NoParity, OneStopBit, 1000, 9000}));  // 9 bits

TEST_F(StatsCycle, three_high_updates_in_a_row_double_the_axis_once_and_a_dip_resets) {
    settings.BitRate = 9600;
    Begin();
    Run(1500);  // 15000 bit/s, above 1.5 x 9600
    Run(1500);
    Run(100);   // a dip
    Run(1500);
    Run(1500);
    EXPECT_EQ(engine.Chart().AxisBitRate(), 9600);
    Run(1500);
    EXPECT_EQ(engine.Chart().AxisBitRate(), 19200);
    EXPECT_EQ(view.Chart.AxisTitle(), "Kbit/s");
    // The point of the rescaling update is still in bit/s.
    EXPECT_EQ(view.Chart.Points().back().Y, 15000);
    Run(50000);  // far above the new axis too, but the streak already rescaled
    EXPECT_EQ(engine.Chart().AxisBitRate(), 19200);
}

TEST_F(StatsCycle, coefficient_and_errors_show_only_when_they_change) {
    Begin();
    Run(100);
    EXPECT_EQ(view.Stats.count(StatCell::Coefficient), 0u);
    EngineProbe::Counters(engine).Errors = 1;
    EngineProbe::Counters(engine).Received = 1000;
    Run(0);
    EXPECT_EQ(Cell(StatCell::Coefficient), "1.0E-03");
    EXPECT_EQ(Cell(StatCell::Errors), "1");
    EngineProbe::Counters(engine).Errors = 2;  // received unchanged: the coefficient stays
    Run(0);
    EXPECT_EQ(Cell(StatCell::Coefficient), "1.0E-03");
    EXPECT_EQ(Cell(StatCell::Errors), "2");
}

TEST_F(StatsCycle, clearing_restarts_time_and_the_next_update_shows_zero) {
    Begin();
    port.S.ErrorMasks = {CE_OVERRUN};
    Run(5000, 30);
    EXPECT_EQ(Cell(StatCell::Time), "0:00:03");
    engine.RequestClear();
    Run(0);
    EXPECT_EQ(Cell(StatCell::Received), "0 symb");
    EXPECT_EQ(Cell(StatCell::Time), "0:00:00");
    EXPECT_EQ(Cell(StatCell::Coefficient), "");
    EXPECT_EQ(engine.DriverErrors().OverrunErrors, 0);
    Run(0);
    EXPECT_EQ(Cell(StatCell::Time), "0:00:01");
}

TEST_F(StatsCycle, a_late_cycle_uses_the_whole_interval_and_a_clock_going_back_adds_no_point) {
    settings.BitRate = 9600;
    Begin();
    Run(0);
    Run(100, 1);             // read at 1.1 s
    clock.AdvanceMs(60000);  // the next cycle a whole minute late, in the same second of the minute
    engine.Tick();
    EXPECT_EQ(view.Seconds, 1);
    Run(0, 9);               // 62.0 s: one update over 61 s
    EXPECT_EQ(view.Seconds, 2);
    // 100 characters of 10 bits over 61000 ms is 16.4 bit/s.
    EXPECT_EQ(view.Chart.Points().back().Y, 16);
    const auto x = view.Chart.Points().back().X;
    clock.AdvanceMs(-1500);
    engine.Tick();
    EXPECT_EQ(view.Seconds, 3);
    EXPECT_EQ(view.Chart.Points().back().X, x);
    EXPECT_EQ(view.Chart.Points().size(), 20u);
}

TEST_F(StatsCycle, large_counts_do_not_overflow_the_averages) {
    Begin();
    EngineProbe::Counters(engine).Received = 300'000'000;
    Run(0, 10 * 1000);
    EXPECT_EQ(Cell(StatCell::CharRate), "300000");
    EXPECT_EQ(Cell(StatCell::Received), "300.0 Msymb");
}

// Qt sets LC_NUMERIC from the environment once a window exists.
TEST(NumberTexts, ignore_a_decimal_comma_locale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"ru_RU.UTF-8", "de_DE.UTF-8", "ru_RU.utf8", "de_DE.utf8"})
        if ((comma = std::setlocale(LC_NUMERIC, name))) break;
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed (scripts/install-deps.sh "
                        "generates ru_RU.UTF-8)";
    EXPECT_EQ(FormatAxisLabel(2400), "2400");
    EXPECT_EQ(FormatAxisLabel(29.25), "29.25");
    EXPECT_EQ(FormatAxisLabel(29.25, ','), "29,25");
    EXPECT_EQ(CoefficientText(1, 1000, '.'), "1.0E-03");
    EXPECT_EQ(CoefficientText(1, 1000, ','), "1,0E-03");
    EXPECT_EQ(RecordLine(RunFigures{}).substr(0, 4), "0.0,");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(RunRecord, a_line_has_every_column_in_its_place) {
    // Every count distinct, so that two columns swapped show.
    RunFigures row;
    row.ElapsedUs = 2'500'000;
    row.Received = 1000;
    row.CharRate = 400;
    row.BitRate = 4000;
    row.Errors = 1;
    row.Packet.InvalidSymbolCount = 2;
    row.Packet.SymbolLostCount = 3;
    row.Packet.SyncLostCount = 4;
    row.Driver = {5, 6, 7, 8};  // parity, overrun, framing, other
    row.Lines = kDsrInactive | kXoffSentHold;  // CTS, DCD and XS lit
    row.CapacityUsed = 0.5;
    EXPECT_EQ(RecordLine(row),
              "2.5,1000,400,4000,1,1.0E-03,2,3,4,5,6,7,8,1,0,1,0,1,0.5000,0,0,,0,0,0,0\n");
    row.Sequence = {.BitsChecked = 80000, .BitErrors = 2, .SyncLosses = 9};
    row.Quality = {.Seconds = 40, .SeverelyErrored = 11, .Unavailable = 12, .ErrorFree = 13};
    EXPECT_EQ(RecordLine(row), "2.5,1000,400,4000,1,1.0E-03,2,3,4,5,6,7,8,1,0,1,0,1,0.5000,"
                               "80000,2,2.5e-05,9,11,12,13\n");
}

TEST(RunRecord, file_names_carry_the_port_as_a_file_name_and_the_start_in_utc) {
    const std::int64_t at = 1'796'761'036'000'000;  // 2026-12-08 20:17:16 UTC
    EXPECT_EQ(RecordFileName("COM1", at), "COM1_20261208T201716Z.csv");
    EXPECT_EQ(RecordFileName("/dev/serial/by-id/usb-FTDI", at),
              "dev_serial_by-id_usb-FTDI_20261208T201716Z.csv");
    EXPECT_EQ(RecordFileName("LOOP:seed=1", at), "LOOP_seed=1_20261208T201716Z.csv");
    EXPECT_EQ(RecordFileName("COM1", at, 2), "COM1_20261208T201716Z-2.csv");
}

TEST(NumberTexts, coefficient_rounds_half_away_from_zero) {
    EXPECT_EQ(CoefficientText(1, 8, '.'), "1.3E-01");
    EXPECT_EQ(CoefficientText(5, 8, '.'), "6.3E-01");
    EXPECT_EQ(CoefficientText(995, 1000, '.'), "1.0E+00");
    EXPECT_EQ(CoefficientText(3, 2, '.'), "1.5E+00");
    EXPECT_EQ(CoefficientText(1, 1'000'000'000'000, '.'), "1.0E-12");
    EXPECT_EQ(CoefficientText(0, 5, '.'), "0.0E+00");
}

}  // namespace
}  // namespace kvartix
