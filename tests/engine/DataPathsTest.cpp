#include <gtest/gtest.h>

#include <string>

#include "engine/CodePage.h"
#include "engine/Engine.h"
#include "engine/TextControlModel.h"
#include "support/FakeCommPort.h"
#include "support/Recorders.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) { return {s.begin(), s.end()}; }
std::u32string U(const std::string& s) { return {s.begin(), s.end()}; }

// A view that owns the terminal's text.
class TerminalView final : public NullEngineView {
public:
    TerminalText* Terminal() override { return &Text; }
    void ClearTerminalText() override { Text.Clear(); }
    TextControlModel Text;
};

class DataPath : public ::testing::Test {
protected:
    void Begin(TestMode mode) {
        engine.BeginSession(port, events.WriteTransfer, events.ReadTransfer, mode, settings,
                            DeriveSessionParameters(settings));
    }
    void Cycle() {
        engine.Tick();
        clock.AdvanceMs(100);
    }
    test::ManualClock clock;
    TerminalView view;
    test::RecordingBox box;
    TransferEvents events;
    test::FakeCommPort port;
    LineSettings settings;
    Engine engine{view, box, clock};
};

TEST_F(DataPath, loopback_drops_the_first_read_then_echoes_in_order_one_write_per_gate) {
    Begin(TestMode::Loopback);
    port.S.Reads = {B("first"), B("ab"), B("cd"), B("ef")};
    port.S.Completions = {IoResult::Pending, IoResult::Done};
    Cycle();  // the first read: dropped
    Cycle();  // "ab" written
    Cycle();  // "cd" read while "ab" is in flight
    Cycle();  // "ef" joins it and both go out together
    ASSERT_EQ(port.Writes.size(), 2u);
    EXPECT_EQ(port.Writes[0], B("ab"));
    EXPECT_EQ(port.Writes[1], B("cdef"));
    EXPECT_EQ(engine.Counters().Received, 6);
    EXPECT_TRUE(box.Messages.empty());
}

struct TerminalCase {
    const char* Name;
    std::vector<std::string> Before;  // lines already shown
    int CaretLine;                    // -1: at the end
    std::string Received;
    std::vector<std::string> After;
    int Inserts;  // pieces handed to the control
    int CaretAfter = 0;  // the line the caret returns to, when it was not at the end
};

class TerminalReceive : public ::testing::TestWithParam<TerminalCase> {};

// Counts the pieces the path hands over.
class CountingText final : public TerminalText {
public:
    explicit CountingText(TextControlModel& m) : M(m) {}
    void BeginUpdate() override { M.BeginUpdate(); }
    void EndUpdate() override { M.EndUpdate(); }
    int LineCount() const override { return M.LineCount(); }
    int LineLength(int l) const override { return M.LineLength(l); }
    void DeleteLine(int l) override { M.DeleteLine(l); }
    int EndPosition() const override { return M.EndPosition(); }
    void SetSelStart(int p) override { M.SetSelStart(p); }
    void SetSelLength(int n) override { M.SetSelLength(n); }
    void ReplaceSelection(const std::u32string& t) override {
        Inserts += !t.empty();
        M.ReplaceSelection(t);
    }
    int LineIndex(int l) const override { return M.LineIndex(l); }
    int LineFromChar(int p) const override { return M.LineFromChar(p); }
    void ScrollLines(int n) override { M.ScrollLines(n); }
    TextControlModel& M;
    int Inserts = 0;
};

TEST_P(TerminalReceive, shows_the_bytes_as_a_terminal_does) {
    const TerminalCase c = GetParam();
    TextControlModel model;
    std::string all;
    for (std::size_t i = 0; i < c.Before.size(); ++i) all += (i ? "\n" : "") + c.Before[i];
    model.ReplaceSelection(U(all));
    if (c.CaretLine >= 0) model.SetSelStart(model.LineIndex(c.CaretLine) + 1);
    CountingText text(model);
    LineBreakState breaks;
    const Bytes bytes = B(c.Received);
    InsertReceived(text, bytes.data(), bytes.size(), breaks);
    std::vector<std::string> lines;
    for (const auto& l : model.Lines()) lines.emplace_back(l.begin(), l.end());
    EXPECT_EQ(lines, c.After);
    EXPECT_EQ(text.Inserts, c.Inserts);
    if (c.CaretLine < 0) {
        EXPECT_EQ(model.Scrolled, 300) << "follows the end";
    } else {
        EXPECT_EQ(model.Scrolled, 0);
        EXPECT_EQ(model.SelStart(), model.LineIndex(c.CaretAfter));
    }
}

std::vector<std::string> Numbered(int from, int to, const std::string& last) {
    std::vector<std::string> v;
    for (int i = from; i < to; ++i) v.push_back(std::to_string(i));
    v.push_back(last);
    return v;
}

std::string NumberedText(int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) s += std::to_string(i) + "\r\n";
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalReceive,
    ::testing::Values(
        TerminalCase{"backspace_in_the_chunk", {""}, -1, "AB\bC", {"AC"}, 1},
        TerminalCase{
            "backspace_on_an_empty_chunk_edits_the_caret_line", {"xy"}, -1, "\b", {"x"}, 0},
        TerminalCase{
            "backspace_on_an_empty_line_does_nothing", {"ab", ""}, -1, "\b", {"ab", ""}, 0},
        TerminalCase{"backspace_after_a_piece_with_a_break_edits_the_line_received_on",
                     {""},
                     -1,
                     "ab\r\n" + std::string(197, 'x') + "\b",
                     {"ab", std::string(196, 'x')},
                     1},
        TerminalCase{"long_text_goes_in_pieces_of_200_and_lines_of_256",
                     {""},
                     -1,
                     std::string(450, 'z'),
                     {std::string(256, 'z'), std::string(194, 'z')},
                     3},
        TerminalCase{"crlf_lone_cr_and_lone_lf_each_break_once",
                     {""},
                     -1,
                     "a\r\nb\rc\nd",
                     {"a", "b", "c", "d"},
                     1},
        TerminalCase{"a_zero_byte_stays_in_its_piece",
                     {""},
                     -1,
                     std::string("a\0b", 3),
                     {std::string("a\0b", 3)},
                     1},
        TerminalCase{"230_lines_keep_the_last_200",
                     {""},
                     -1,
                     NumberedText(0, 230),
                     Numbered(31, 230, ""),
                     5},
        TerminalCase{"a_caret_on_an_earlier_line_keeps_its_line",
                     {"a", "b", "c"},
                     1,
                     "d\r\n",
                     {"a", "b", "cd", ""},
                     1,
                     1},
        TerminalCase{"the_kept_line_moves_up_with_deleted_lines", Numbered(0, 199, "x"), 50,
                     NumberedText(0, 3),
                     [] {
                         auto v = Numbered(3, 199, "x0");
                         v.push_back("1");
                         v.push_back("2");
                         v.push_back("");
                         return v;
                     }(),
                     1, 47},
        TerminalCase{"a_line_past_256_characters_goes_on_on_the_next",
                     {""},
                     -1,
                     std::string(600, 'Z'),
                     {std::string(256, 'Z'), std::string(256, 'Z'), std::string(88, 'Z')},
                     4},
        TerminalCase{"a_line_already_shown_is_continued_up_to_the_limit",
                     {std::string(250, 'a')},
                     -1,
                     std::string(30, 'b'),
                     {std::string(250, 'a') + std::string(6, 'b'), std::string(24, 'b')},
                     1},
        TerminalCase{"a_backspace_after_a_continuation_takes_the_break_back",
                     {""},
                     -1,
                     std::string(257, 'Z') + "\b\b",
                     {std::string(256, 'Z')},
                     2},
        TerminalCase{"a_line_break_at_the_limit_makes_no_empty_line",
                     {""},
                     -1,
                     std::string(256, 'Z') + "\r\nA",
                     {std::string(256, 'Z'), "A"},
                     2}),
    [](const auto& info) { return std::string(info.param.Name); });

// Whatever the stream's shape, the text stays within 200 lines of at most 1024 characters, and
// what arrived last is at its end.
struct StreamShape {
    const char* Name;
    std::string Batch;  // one cycle's bytes, received 300 times
};
class TerminalBound : public ::testing::TestWithParam<StreamShape> {};

TEST_P(TerminalBound, keeps_the_text_bounded_and_the_newest_at_the_end) {
    TextControlModel model;
    LineBreakState breaks;
    const Bytes batch = B(GetParam().Batch);
    for (int cycle = 0; cycle < 300; ++cycle)
        InsertReceived(model, batch.data(), batch.size(), breaks);
    ASSERT_LE(model.LineCount(), kTerminalMaxLines);
    for (const auto& line : model.Lines())
        ASSERT_LE(line.size(), std::size_t{kTerminalMaxLineLength});
    EXPECT_LE(model.EndPosition(), kTerminalMaxLines * (kTerminalMaxLineLength + 1));
    const std::u32string text = model.Text();
    const std::string tail = GetParam().Batch.substr(GetParam().Batch.size() - 8);
    if (tail.find_first_of("\r\n\b") == std::string::npos) {
        EXPECT_EQ(text.substr(text.size() - 8), U(tail));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TerminalBound,
    ::testing::Values(
        StreamShape{"no_line_breaks", std::string(4608, 'Z')},
        StreamShape{"lone_carriage_returns", std::string(4000, 'Z') + "\r" + std::string(607, 'Y')},
        StreamShape{"long_lines", std::string(3000, 'x') + "\r\n" + std::string(1606, 'y')},
        StreamShape{"short_lines",
                    [] {
                        std::string s;
                        while (s.size() < 4600) s += "12345\r\n";
                        return s + "tailtail";
                    }()},
        StreamShape{"backspaces_among_text",
                    [] {
                        std::string s;
                        while (s.size() < 4600) s += "abc\bdefgh";
                        return s + "ijklmnop";
                    }()}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(DataPath, terminal_sends_typed_text_in_one_later_write_and_counts_nothing) {
    Begin(TestMode::Terminal);
    port.S.Reads = {B("hi")};
    engine.TerminalTxText = "ab";
    Cycle();
    engine.TerminalTxText += "c";
    port.S.Completions = {IoResult::Pending};
    Cycle();  // the gate is shut: "c" waits, nothing shown twice
    engine.TerminalTxText += "d";
    Cycle();
    ASSERT_EQ(port.Writes.size(), 2u);
    EXPECT_EQ(port.Writes[0], B("ab"));
    EXPECT_EQ(port.Writes[1], B("cd"));
    EXPECT_EQ(view.Text.Text(), U"hi");
    EXPECT_EQ(engine.Counters().Received, 0);
}

TEST_F(DataPath, terminal_text_longer_than_a_buffer_is_sent_in_pieces_none_lost) {
    Begin(TestMode::Terminal);
    engine.TerminalTxText.assign(70000, 'q');
    Cycle();
    Cycle();
    ASSERT_EQ(port.Writes.size(), 2u);
    EXPECT_EQ(port.Writes[0].size(), 65000u);
    EXPECT_EQ(port.Writes[1].size(), 5000u);
    EXPECT_TRUE(engine.TerminalTxText.empty());
}

TEST(CodePage, carries_cyrillic_both_ways) {
    EXPECT_EQ(FromCp1251(0xC0), U'А');
    EXPECT_EQ(FromCp1251(0xB8), U'ё');
    EXPECT_EQ(FromCp1251('A'), U'A');
    std::uint8_t b = 0;
    ASSERT_TRUE(ToCp1251(U'я', b));
    EXPECT_EQ(b, 0xFF);
    EXPECT_FALSE(ToCp1251(U'∑', b));
}

}  // namespace
}  // namespace kvartix
