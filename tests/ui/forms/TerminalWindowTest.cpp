#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <csignal>

#include "engine/TerminalReceive.h"
#include "engine/TextControlModel.h"
#include "ui/forms/Uterm.h"

namespace kvartix {
namespace {

struct TermFixture : ::testing::Test {
    std::string tx;
    TFterm term{tx};
    LineBreakState lineBreaks;
    void Receive(const std::string& b) {
        term.Text().Receive(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), lineBreaks);
    }
};

TEST_F(TermFixture, saved_bounds_state_and_font_come_back_and_a_cancelled_dialog_changes_nothing) {
    ProgramSettings s;
    s.TerminalLeft = 40;
    s.TerminalTop = 50;
    s.TerminalWidth = 500;
    s.TerminalHeight = 300;
    s.FontName = "DejaVu Sans Mono";
    s.FontSize = 11;
    s.FontColor = 0x0000FF;  // red, as the settings write it
    term.FormCreate("line2", s);
    EXPECT_EQ(term.windowTitle(), "Term line2");
    EXPECT_EQ(term.Memo1->palette().color(QPalette::Text), QColor(255, 0, 0));

    term.RunFontDialog = [](QFontDialog& d) {
        d.setCurrentFont(QFont("DejaVu Serif", 20));
        return false;
    };
    term.Font1Click();
    ProgramSettings saved;
    term.SaveInto(saved);
    EXPECT_EQ(saved, s);

    term.RunFontDialog = [](QFontDialog& d) {
        d.setCurrentFont(QFont("DejaVu Serif", 14));
        return true;
    };
    term.Font1Click();
    term.SaveInto(saved);
    EXPECT_EQ(saved.FontName, "DejaVu Serif");
    EXPECT_EQ(saved.FontSize, 14);
    EXPECT_EQ(saved.FontColor, 0x0000FF) << "the dialog offers no colour";
}

TEST_F(TermFixture, closing_stops_first_remembers_maximized_and_shows_the_main_window) {
    term.FormCreate("default", ProgramSettings{});
    std::vector<std::string> order;
    term.StopSession = [&] { order.push_back("stop"); };
    term.ShowMainWindow = [&] { order.push_back("main"); };
    term.show();
    term.setWindowState(Qt::WindowMaximized);
    term.close();
    EXPECT_EQ(order, (std::vector<std::string>{"stop", "main"}));
    EXPECT_EQ(term.windowState(), Qt::WindowNoState);
    ProgramSettings saved;
    term.SaveInto(saved);
    EXPECT_FALSE(saved.TerminalNormal);
    term.show();
    EXPECT_TRUE(term.windowState() & Qt::WindowMaximized);
}

TEST_F(TermFixture, typed_keys_queue_as_code_page_bytes_unechoed_and_tab_stays_a_focus_key) {
    term.show();
    term.Memo1->setFocus();
    term.Memo1->clear();
    QTest::keyClicks(term.Memo1, "a");
    QTest::keyClick(term.Memo1, Qt::Key_Return);
    QTest::keyClick(term.Memo1, Qt::Key_Backspace);
    QTest::keyClick(term.Memo1, Qt::Key_Escape);
    QTest::keyClick(term.Memo1, Qt::Key_Tab);
    QKeyEvent cyrillic(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("Я"));
    QApplication::sendEvent(term.Memo1, &cyrillic);
    EXPECT_EQ(tx, std::string("a\r\b\x1b\xDF"));
    EXPECT_TRUE(term.Memo1->toPlainText().isEmpty());
}

TEST_F(TermFixture,
       paste_clear_and_the_line_end_take_ctrl_shift_while_plain_ctrl_letters_go_to_the_line) {
    term.show();
    term.Memo1->setFocus();
    term.Memo1->setPlainText("old");
    ProgramSettings s;
    s.TerminalLineEnd = 2;
    term.FormCreate("default", s);
    QApplication::clipboard()->setText(QString::fromUtf8("ok\nЖ"));
    QTest::keyClick(term.Memo1, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QKeyEvent ctrlL(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier, QStringLiteral("\x0c"));
    QApplication::sendEvent(term.Memo1, &ctrlL);
    QTest::keyClick(term.Memo1, Qt::Key_Return);
    QTest::keyClick(term.Memo1, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tx, std::string("ok\r\n\xC6\x0c\r\n"));
    EXPECT_TRUE(term.Memo1->toPlainText().isEmpty());

    QString refusal;
    term.ShowRefusal = [&](const QString& text) { refusal = text; };
    QApplication::clipboard()->setText(QString::fromUtf8("a☺"));
    term.Paste1Click();
    EXPECT_EQ(tx.size(), 8u);
    EXPECT_TRUE(refusal.contains(QString::fromUtf8("☺ (U+263A)"))) << refusal.toStdString();
    term.LineEndLf->trigger();
    ProgramSettings saved;
    term.SaveInto(saved);
    EXPECT_EQ(saved.TerminalLineEnd, 1);
}

TEST_F(TermFixture,
       hex_rows_with_times_fill_in_place_hold_still_while_frozen_and_capture_keeps_raw_bytes) {
    ProgramSettings s;
    s.TerminalHex = s.TerminalTimestamps = true;
    term.FormCreate("default", s);
    term.MsOfDay = [] { return std::int64_t{1000}; };
    term.Memo1->clear();
    QTemporaryDir dir;
    const QString path = dir.filePath("capture.bin");
    term.AskCaptureFile = [&] { return path; };
    term.Capture1->trigger();
    LineBreakState breaks;
    const auto receive = [&](const std::string& b) {
        term.Text().Receive(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), breaks);
    };
    receive("0123456789");
    receive("ABCDEF\r\n");
    const QString row =
        "00:00:01.000 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\n"
        "00:00:01.000 0D 0A                                            ..";
    EXPECT_EQ(term.Memo1->toPlainText(), row);
    QTextCursor top(term.Memo1->document());
    term.Memo1->setTextCursor(top);
    receive("!");
    EXPECT_EQ(term.Memo1->textCursor().position(), 0) << "a reader's place is kept";
    const QString before = term.Memo1->toPlainText();
    term.Freeze1->trigger();
    receive("xyz");
    EXPECT_EQ(term.Memo1->toPlainText(), before);
    term.Freeze1->trigger();
    EXPECT_TRUE(term.Memo1->toPlainText().endsWith(
        "0D 0A 21 78 79 7A                                ..!xyz"));
    term.Capture1->trigger();
    receive("not kept");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0123456789ABCDEF\r\n!xyz"));
    ProgramSettings saved;
    term.SaveInto(saved);
    EXPECT_TRUE(saved.TerminalHex && saved.TerminalTimestamps);
}

TEST_F(TermFixture, a_refused_paste_names_twenty_characters_and_counts_the_rest) {
    QString text;
    for (char16_t c = 0x4E00; c < 0x4E00 + 3000; ++c) text += QChar(c);
    QApplication::clipboard()->setText(text);
    QString refusal;
    term.ShowRefusal = [&](const QString& t) { refusal = t; };
    term.Paste1Click();
    EXPECT_EQ(refusal.count(QStringLiteral("(U+")), 20);
    EXPECT_TRUE(refusal.endsWith(QString::fromUtf8("(U+4E13) … и ещё 2980")))
        << refusal.toStdString();
}

// Each case captures "new" under a file-size limit (0: none), then "more" without one; the
// file first holds "old". A FIFO without a reader or a device would hold the receive path.
TEST_F(TermFixture,
       a_capture_replaces_or_appends_as_chosen_to_a_regular_file_and_ends_at_a_failed_write) {
    QTemporaryDir dir;
    const QString file = dir.filePath("file"), link = dir.filePath("link"),
                  fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(file, link));
    const struct {
        QAction* Item;
        QString Path;
        rlim_t Limit;
        QByteArray Kept;
        QString Told;
    } cases[] = {
        {term.Capture1, link, 0, "newmore", ""},
        {term.CaptureAppend1, file, 0, "oldnewmore", ""},
        {term.Capture1, file, 2, "ne",
         QString::fromUtf8("Не удалось записать файл ") + file + ": "},
        {term.Capture1, "/dev/null", 0, "old", QString::fromUtf8("Не удалось открыть файл ")},
        {term.Capture1, fifo, 0, "old", QString::fromUtf8("Не удалось открыть файл ") + fifo},
    };
    rlimit was{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        QFile held(file);
        ASSERT_TRUE(held.open(QIODevice::WriteOnly) && held.write("old") == 3);
        held.close();
        term.AskCaptureFile = [&] { return c.Path; };
        QStringList told;
        term.ShowRefusal = [&](const QString& t) { told << t; };
        c.Item->trigger();
        rlimit limit = was;
        if (c.Limit) limit.rlim_cur = c.Limit;
        setrlimit(RLIMIT_FSIZE, &limit);
        Receive("new");
        setrlimit(RLIMIT_FSIZE, &was);
        Receive("more");
        EXPECT_EQ(c.Item->isChecked(), c.Told.isEmpty()) << c.Path.toStdString();
        if (c.Item->isChecked()) c.Item->trigger();
        ASSERT_EQ(told.size(), c.Told.isEmpty() ? 0 : 1) << c.Path.toStdString();
        EXPECT_TRUE(told.isEmpty() || told[0].startsWith(c.Told)) << told[0].toStdString();
        ASSERT_TRUE(held.open(QIODevice::ReadOnly));
        EXPECT_EQ(held.readAll(), c.Kept) << c.Path.toStdString();
    }
    std::signal(SIGXFSZ, handler);
}

// Each step triggers its item, if any, then receives its bytes.
TEST(TerminalView, switching_the_view_or_freezing_mid_line_neither_glues_lines_nor_adds_them) {
    using Steps = std::vector<std::pair<QAction * TFterm::*, std::string>>;
    const std::string line(250, 'a');
    const std::pair<Steps, QString> cases[] = {
        {{{nullptr, line}, {&TFterm::Hex1, "x"}, {nullptr, "y"}},
         QString::fromStdString(line) + "\n78 79 " + QString(42, ' ') + " xy"},
        {{{nullptr, "ab\r"}, {&TFterm::Freeze1, "\ncd"}, {&TFterm::Freeze1, ""}}, "ab\ncd"},
        {{{&TFterm::Freeze1, "ab\r"}, {&TFterm::Freeze1, "\ncd"}}, "ab\ncd"},
    };
    for (const auto& [steps, shown] : cases) {
        std::string tx;
        TFterm term(tx);
        term.Clear1Click();
        LineBreakState breaks;
        for (const auto& [item, bytes] : steps) {
            if (item) (term.*item)->trigger();
            term.Text().Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                breaks);
        }
        EXPECT_EQ(term.Memo1->toPlainText(), shown);
    }
}

// A batch of more lines than the text keeps (a view's rows, a freeze let go) shows what the same
// bytes fed a few at a time show, with the caret where that leaves it.
TEST(TerminalView, a_batch_longer_than_the_text_keeps_shows_what_small_batches_show) {
    std::string rows;
    for (int i = 0; i < 300 * 16 + 5; ++i) rows += static_cast<char>(i * 7);
    std::string lines, backspaced;
    for (int i = 0; i < 230; ++i) lines += std::string(i % 3 ? 20 : 300, 'a' + i % 26) + "\r\n";
    for (int i = 0; i < 220; ++i) backspaced += "line " + std::to_string(i) + "\b\b\r\n";
    const struct {
        bool Hex, Times, CaretAtTop;
        std::string Stream;
    } cases[] = {
        {true, false, false, rows},
        {true, true, true, rows.substr(0, 201 * 16)},
        {true, false, true, rows.substr(0, 200 * 16 + 3)},
        {false, true, false, lines},
        {false, true, false, backspaced},
    };
    for (const auto& c : cases) {
        std::string tx[2];
        TFterm whole(tx[0]), pieces(tx[1]);
        for (TFterm* term : {&whole, &pieces}) {
            ProgramSettings s;
            s.TerminalHex = c.Hex;
            s.TerminalTimestamps = c.Times;
            term->FormCreate("default", s);
            term->MsOfDay = [] { return std::int64_t{1000}; };
            term->Memo1->setPlainText("old\nolder");
            term->Memo1->moveCursor(c.CaretAtTop ? QTextCursor::Start : QTextCursor::End);
            const std::size_t piece = term == &whole ? c.Stream.size() : 7;
            LineBreakState breaks;
            for (std::size_t at = 0; at < c.Stream.size(); at += piece) {
                const std::string b = c.Stream.substr(at, piece);
                term->Text().Receive(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(),
                                     breaks);
            }
        }
        EXPECT_EQ(whole.Memo1->toPlainText().toStdString(), pieces.Memo1->toPlainText().toStdString())
            << c.Stream.size();
        EXPECT_EQ(whole.Memo1->textCursor().position(), pieces.Memo1->textCursor().position());
        EXPECT_EQ(whole.Memo1->document()->blockCount(), kTerminalMaxLines);
    }
}

// Lines keep their glyphs between layout and paint; a new font still draws them anew.
TEST(TerminalView, text_received_before_a_font_change_is_drawn_in_the_new_font) {
    std::string tx[2];
    TFterm before(tx[0]), after(tx[1]);
    const std::string text = "abc\r\n" + std::string(300, 'W') + "\r\nxyz";
    for (TFterm* term : {&before, &after}) {
        term->FormCreate("default", ProgramSettings{});
        term->Memo1->clear();
        term->Memo1->setCursorWidth(0);  // a blinking caret is no part of the comparison
        term->show();
        if (term == &after) term->Memo1->setFont(QFont("DejaVu Serif", 16));
        LineBreakState breaks;
        term->Text().Receive(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                             breaks);
        QApplication::processEvents();
    }
    before.Memo1->setFont(QFont("DejaVu Serif", 16));
    QApplication::processEvents();
    EXPECT_EQ(before.Memo1->viewport()->grab().toImage(),
              after.Memo1->viewport()->grab().toImage());
}

// Whatever bounds the file holds, the window comes up on the screen, no larger than it.
struct StoredBounds {
    std::int32_t Left, Top, Width, Height;
};
class TerminalBounds : public TermFixture, public ::testing::WithParamInterface<StoredBounds> {};

TEST_P(TerminalBounds, land_on_the_screen_at_no_more_than_its_size) {
    ProgramSettings s;
    s.TerminalLeft = GetParam().Left;
    s.TerminalTop = GetParam().Top;
    s.TerminalWidth = GetParam().Width;
    s.TerminalHeight = GetParam().Height;
    term.FormCreate("default", s);
    term.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(term.frameGeometry()))
        << term.frameGeometry().x() << "," << term.frameGeometry().y() << " "
        << term.frameGeometry().width() << "x" << term.frameGeometry().height();
    ProgramSettings saved;
    term.SaveInto(saved);
    EXPECT_LE(saved.TerminalWidth, screen.width());
    EXPECT_LE(saved.TerminalHeight, screen.height());
}

INSTANTIATE_TEST_SUITE_P(Stored, TerminalBounds,
                         ::testing::Values(StoredBounds{20, 20, 2147483647, 100000},
                                           StoredBounds{5000, 5000, 200, 200},
                                           StoredBounds{-2147483647 - 1, 2147483647, 425, 391},
                                           StoredBounds{20, 20, 0, -10}),
                         [](const auto& info) {
                             const StoredBounds& b = info.param;
                             std::string name;
                             for (const std::int32_t v : {b.Left, b.Top, b.Width, b.Height})
                                 name += (v < 0 ? "_minus" : "_") +
                                         std::to_string(v < 0 ? -std::int64_t{v} : v);
                             return name.substr(1);
                         });

// The core's terminal algorithm is tested on a model of the control; here the real control
// must agree with that model batch after batch.
TEST_F(TermFixture, the_text_control_behaves_as_the_model_the_terminal_path_is_tested_on) {
    term.Memo1->clear();
    TextControlModel model;
    LineBreakState modelBreaks, termBreaks;
    const std::vector<std::string> batches = {
        "hello\r\nworld", "\b\b!\r", "\n", std::string(450, 'x') + "\r\n", "\b", "tail\xC0\xFF",
        // a stream without line breaks goes on on new lines
        std::string(700, 'Z'), "\b", std::string(260, 'Q') + "\b\b\b\b\b", "\r\n"};
    std::vector<std::string> all = batches;
    for (int i = 0; i < 230; ++i) all.push_back("line " + std::to_string(i) + "\r\n");
    for (const std::string& b : all) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(b.data());
        InsertReceived(model, data, b.size(), modelBreaks);
        InsertReceived(term.Text(), data, b.size(), termBreaks);
        ASSERT_EQ(term.Memo1->toPlainText().toStdU32String(), model.Text()) << "after " << b;
        ASSERT_EQ(term.Memo1->textCursor().position(), model.SelStart());
    }
    EXPECT_EQ(term.Memo1->document()->blockCount(), 200);
}

}  // namespace
}  // namespace kvartix
