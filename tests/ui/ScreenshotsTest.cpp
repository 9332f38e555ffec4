// Not a check: saves the windows as PNG files in screenshots/ of the build folder, to be
// looked at (`cmake --build --preset default --target screenshots`): the idle window, a BERT
// on LOOP after three seconds and one at random data speed after twelve, the packet-error
// view, the chart at three rates, the hints on with one hint showing, the terminal, the
// start-up and help windows, a lamp enlarged, and a test pattern in the packet-size box.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolTip>
#include <memory>

#include "components/KivTLeds.h"
#include "engine/TerminalReceive.h"
#include "ui/WindowRig.h"
#include "ui/forms/Uhelp.h"
#include "ui/forms/Umorvi.h"
#include "ui/forms/Uterm.h"

namespace kvartix::test {
namespace {

class Screenshots : public WindowRig {
  protected:
    void Save(const QImage& image, const char* name) {
        QDir().mkpath("screenshots");
        ASSERT_TRUE(image.save(QStringLiteral("screenshots/%1.png").arg(name)));
    }
    QImage Window() { return form->grab().toImage(); }
    // A terminal window 425 x 300, on the main window's queue of typed text.
    std::unique_ptr<TFterm> Terminal() {
        auto terminal = std::make_unique<TFterm>(form->Core().TerminalTxText);
        ProgramSettings settings;
        settings.TerminalWidth = 425;
        settings.TerminalHeight = 300;
        terminal->FormCreate("default", settings);
        return terminal;
    }
};

TEST_F(Screenshots, idle_window) {
    Save(Window(), "idle");
}

TEST_F(Screenshots, bert_on_loop_after_three_seconds) {
    StartBert();
    ASSERT_TRUE(RunEventsUntil([&] { return form->StaticS3->text() == "0:00:03"; }, 5000));
    Save(Window(), "bert");
}

// The picture at the top of the README: a BERT long enough for the chart to move, at random
// data speed so that its rate varies, under RTS/CTS so that CTS is lit beside DSR and DCD.
TEST_F(Screenshots, bert_at_random_data_speed_under_rts_cts_for_twelve_seconds) {
    Click(form->CheckHard);
    form->RadioRF2->setChecked(true);
    StartBert();
    RunSeconds(12);
    Save(Window(), "bert_random_rts_cts");
}

TEST_F(Screenshots, packet_error_view_during_a_faulty_bert) {
    form->ComboBox1->setEditText("LOOP:corrupt=3e-4,drop=1e-4,seed=3");
    Click(form->GroupBox10->CheckBox1);
    StartBert();
    RunSeconds(2);
    Save(Window(), "packet_errors");
}

// A BERT on prbs15 (its name must fit the packet-size box) and the box's list opened, with
// the sizes first and the patterns after them.
TEST_F(Screenshots, test_pattern_in_the_packet_size_box) {
    form->ComboBox1->setEditText("LOOP:corrupt=1e-4,seed=3");
    form->ComboBox3->setCurrentIndex(form->ComboBox3->findText("prbs15"));
    StartBert();
    RunSeconds(2);
    Save(Window(), "pattern_bert");
    form->ComboBox3->showPopup();
    QWidget* list = form->ComboBox3->view()->window();
    ASSERT_TRUE(RunEventsUntil([&] { return list->isVisible(); }, 2000));
    Save(list->grab().toImage().scaled(list->size() * 2), "pattern_list");
    form->ComboBox3->hidePopup();
}

// The chart after three seconds of a BERT at the rate, four times enlarged to be read (every
// label of its axis shows), and the window with it (at 460800 the received count is shortened).
class ChartScreenshot : public Screenshots, public ::testing::WithParamInterface<const char*> {};

TEST_P(ChartScreenshot, chart_during_a_bert) {
    form->ComboBox2->setEditText(GetParam());
    StartBert();
    RunSeconds(3);
    const QImage chart = form->Chart1->grab().toImage();
    Save(chart.scaled(chart.size() * 4), (std::string("chart_") + GetParam()).c_str());
    Save(Window(), (std::string("bert_") + GetParam()).c_str());
}
INSTANTIATE_TEST_SUITE_P(Rates, ChartScreenshot, ::testing::Values("115200", "460800", "9600"),
                         [](const auto& info) { return std::string(info.param); });

// The largest rate there is: its labels take Mbit/s rather than being cut.
TEST_F(Screenshots, chart_axis_at_the_largest_rate) {
    form->Core().SetRateAxis(2147483647);
    form->View().ChartChanged(form->Core().Chart());
    const QImage chart = form->Chart1->grab().toImage();
    Save(chart.scaled(chart.size() * 4), "chart_2147483647");
}

// Typed text goes out through LOOP and comes back into the terminal window.
TEST_F(Screenshots, terminal_window_with_typed_text_echoed_by_loop) {
    const auto owned = Terminal();
    TFterm& terminal = *owned;
    form->AttachWindows(&terminal, nullptr);
    Click(form->Button4);
    terminal.Memo1->setFocus();
    QTest::keyClicks(terminal.Memo1, "AT");
    QTest::keyClick(terminal.Memo1, Qt::Key_Return);
    // What a far end might answer, Cyrillic in the terminal's code page.
    form->Core().TerminalTxText += "\nHello from the far end\r\n\xD1\xF2\xF0\xEE\xEA\xE0\r\n";
    ASSERT_TRUE(
        RunEventsUntil([&] { return terminal.Memo1->toPlainText().contains("far end"); }, 3000));
    Save(terminal.grab().toImage(), "terminal");
    terminal.close();
    form->AttachWindows(nullptr, nullptr);
}

// A device streaming without line breaks: the text goes on on new lines of 256 characters.
TEST_F(Screenshots, terminal_window_under_a_stream_without_line_breaks) {
    const auto terminal = Terminal();
    terminal->Memo1->clear();
    terminal->show();
    LineBreakState breaks;
    std::string stream;
    for (int i = 0; i < 100; ++i) stream += std::string(55, 'Z') + std::to_string(i % 10);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    InsertReceived(terminal->Text(), bytes, stream.size(), breaks);
    Save(terminal->grab().toImage(), "terminal_stream");
}

// The hex view with times: sixteen bytes a row, the text beside them, the row still filling last.
TEST_F(Screenshots, terminal_window_in_hex_view_with_timestamps) {
    const auto terminal = Terminal();
    terminal->Hex1->trigger();
    terminal->Timestamps1->trigger();
    std::int64_t ms = ((14 * 60 + 2) * 60 + 37) * 1000 + 118;
    terminal->MsOfDay = [&] { return ms += 7; };
    terminal->Memo1->clear();
    terminal->resize(600, 300);  // a row with its time is wider than the default window
    terminal->show();
    LineBreakState breaks;
    using namespace std::string_literals;  // a batch may hold a zero byte
    for (const std::string& batch : {"AT+CSQ\r\n"s, "\r\n+CSQ: 23,0\r\n\r\nOK\r\n"s,
                                     "\x02\x10\x7F\x00\xD1\xF2\xE0\xF0\xF2\x03"s, "ATI\r"s}) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(batch.data());
        terminal->Text().Receive(bytes, batch.size(), breaks);
    }
    Save(terminal->grab().toImage(), "terminal_hex");
}

// The hint is a window of its own; it is painted onto the window's picture where it stands.
TEST_F(Screenshots, hints_on_with_the_chart_hint_showing) {
    Click(form->SpeedButton1);
    const QPoint at = form->Chart1->rect().center();
    QTest::mouseMove(form->Chart1, at);
    QHelpEvent help(QEvent::ToolTip, at, form->Chart1->mapToGlobal(at));
    QApplication::sendEvent(form->Chart1, &help);
    ASSERT_TRUE(RunEventsUntil([] { return QToolTip::isVisible(); }, 1000));
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
    ASSERT_NE(tip, nullptr);
    EXPECT_LE(tip->width(), 300);
    QImage image = Window();
    const QPoint offset = tip->pos() - form->mapToGlobal(QPoint(0, 0));
    QImage canvas(image.width() + 200, image.height() + 200, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    p.drawImage(0, 0, image);
    p.drawImage(offset, tip->grab().toImage());
    p.end();
    Save(canvas, "hints");
}

TEST_F(Screenshots, startup_and_help_windows) {
    TForm2 startup{form.get()};
    startup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&startup));
    Save(startup.grab().toImage(), "startup");
    TFhelp help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    Save(help.grab().toImage(), "help");
}

// A lamp ten times enlarged, off and on side by side.
TEST_F(Screenshots, lamp_off_and_on) {
    TKivLed led;
    led.resize(15, 15);
    const QImage off = led.grab().toImage();
    led.SetLedisOn(true);
    const QImage on = led.grab().toImage();
    QImage both(30, 15, QImage::Format_ARGB32);
    QPainter p(&both);
    p.drawImage(0, 0, off);
    p.drawImage(15, 0, on);
    p.end();
    Save(both.scaled(both.size() * 10), "lamp");
}

}  // namespace
}  // namespace kvartix::test
