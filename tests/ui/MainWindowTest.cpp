#include <QAbstractItemView>
#include <QAccessible>
#include <QCompleter>
#include <QRegularExpression>
#include <QToolTip>

#include "testkit/Pty.h"
#include "ui/Hints.h"
#include "ui/WindowRig.h"

namespace kvartix::test {
namespace {

class MainWindow : public WindowRig {
  protected:
    void ExpectIdleLook() {
        for (QPushButton* b : {form->Button3, form->Button1, form->Button4})
            EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
        EXPECT_FALSE(form->Button2->isEnabled());
        EXPECT_FALSE(form->Button5->isEnabled());
        EXPECT_EQ(Background(form->StaticText3), Face());
        EXPECT_EQ(Background(form->StaticText1), Face());
        for (TKivLed* led : {form->LedXR, form->LedXS, form->LedCTS, form->LedDSR, form->LedDCD}) {
            EXPECT_FALSE(led->isEnabled());
            EXPECT_EQ(led->LedOnColor(), Face());
        }
        for (QWidget* w :
             {(QWidget*)form->Label4, (QWidget*)form->Label6, (QWidget*)form->GroupBox10->Label9,
              (QWidget*)form->GroupBox10->Label10, (QWidget*)form->GroupBox10->StaticFE})
            EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_FALSE(form->Session().Running());
    }
};

TEST_F(MainWindow, starts_idle_with_the_default_settings_and_hints_off) {
    ExpectIdleLook();
    EXPECT_EQ(form->centralWidget()->size(), QSize(366, 422));
    EXPECT_FALSE(HintFilter::Install().Enabled());
    EXPECT_EQ(form->ComboBox1->currentText(), "LOOP");
    EXPECT_EQ(form->ComboBox2->currentText(), "115200");
    EXPECT_EQ(form->ComboBox3->currentText(), "512");
    EXPECT_TRUE(form->EditSymb->isHidden());
    for (QAbstractButton* chosen : std::initializer_list<QAbstractButton*>{
             form->RadioD[3], form->RadioS[0], form->RadioP[0], form->RadioDTR1, form->RadioDSR2,
             form->RadioRF1, form->GroupBox10->CheckBox1})
        EXPECT_TRUE(chosen->isChecked()) << chosen->objectName().toStdString();
    EXPECT_FALSE(form->CheckHard->isChecked() || form->CheckSoft->isChecked());
    EXPECT_EQ(form->GroupBox10->title(), "COM port driver errors");
}

TEST_F(MainWindow, a_bert_on_loop_shows_its_figures_lamps_and_chart_after_two_seconds) {
    StartBert();
    EXPECT_EQ(Background(form->StaticText3), QColor(0, 0x80, 0));
    EXPECT_TRUE(form->Button2->isEnabled());
    EXPECT_FALSE(form->Button3->isEnabled());
    EXPECT_EQ(form->focusWidget(), form->Button5);
    RunSeconds(2);
    EXPECT_TRUE(form->StaticS0->text().endsWith("symb")) << form->StaticS0->text().toStdString();
    EXPECT_GT(form->StaticS1->text().toInt(), 5000);
    EXPECT_GT(form->StaticS2->text().toInt(), 50000);
    EXPECT_EQ(form->StaticS4->text(), "0");
    EXPECT_EQ(Background(form->StaticS4), Face());  // the start code has come
    // The plug with RTS/CTS off and DTR high: CTS low, DSR and DCD high.
    EXPECT_FALSE(form->LedCTS->LedisOn());
    EXPECT_TRUE(form->LedDSR->LedisOn());
    EXPECT_TRUE(form->LedDCD->LedisOn());
    EXPECT_EQ(form->LedDSR->LedOnColor(), QColor(0xFF, 0xFF, 0));
    EXPECT_FALSE(form->LedXR->isEnabled());               // no Xon/Xoff
    EXPECT_FALSE(form->GroupBox10->Label9->isEnabled());  // no parity
    EXPECT_TRUE(form->GroupBox10->Label13->isEnabled() && form->GroupBox10->StaticEr->isEnabled());
    const auto& points = form->Core().Chart().Points();
    EXPECT_TRUE(std::any_of(points.begin(), points.end(), [](auto p) { return p.Y > 0; }));
}

struct StopCase {
    const char* start;
    const char* focus;
};
class StopGivesFocus : public MainWindow, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopGivesFocus, stop_returns_the_idle_look_and_focuses_the_start_button_used) {
    Click(form->findChild<QPushButton*>(GetParam().start));
    ASSERT_TRUE(form->Session().Running());
    Click(form->Button2);
    ExpectIdleLook();
    EXPECT_EQ(form->focusWidget()->objectName(), GetParam().focus);
}
INSTANTIATE_TEST_SUITE_P(Starts, StopGivesFocus,
                         ::testing::Values(StopCase{"Button3", "Button3"},
                                           StopCase{"Button1", "Button1"}));

// Choosing any setting while a test runs stops it.
struct SettingCase {
    const char* name;
    std::function<void(TForm1&)> choose;
};
class SettingStops : public MainWindow, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingStops, choosing_it_stops_a_running_bert) {
    form->ComboBox3->setCurrentIndex(1);  // packet size 4, and the symbol field shown
    form->EditSymb->show();
    StartBert();
    GetParam().choose(*form);
    EXPECT_FALSE(form->Session().Running());
    ExpectIdleLook();
}
INSTANTIATE_TEST_SUITE_P(
    Controls, SettingStops,
    ::testing::Values(
        SettingCase{"parity_Odd",
                    [](TForm1& f) { QTest::mouseClick(f.RadioP[1], Qt::LeftButton); }},
        SettingCase{"data_bits_7",
                    [](TForm1& f) { QTest::mouseClick(f.RadioD[2], Qt::LeftButton); }},
        SettingCase{"RTS_CTS", [](TForm1& f) { QTest::mouseClick(f.CheckHard, Qt::LeftButton); }},
        SettingCase{"random_data_speed", [](TForm1& f) { f.RadioRF2->setChecked(true); }},
        SettingCase{"port_picked",
                    [](TForm1& f) {
                        f.ComboBox1->addItem("LOOP:seed=1");
                        QTest::keyClick(f.ComboBox1, Qt::Key_Down);
                    }},
        SettingCase{"bit_rate_picked",
                    [](TForm1& f) { QTest::keyClick(f.ComboBox2, Qt::Key_Down); }},
        SettingCase{"packet_size_picked",
                    [](TForm1& f) { QTest::keyClick(f.ComboBox3, Qt::Key_Home); }},
        SettingCase{"symbol_field_clicked",
                    [](TForm1& f) { QTest::mouseClick(f.EditSymb, Qt::LeftButton); }}),
    [](const auto& info) { return std::string(info.param.name); });

// What is typed in the bit-rate box is the rate the test runs at, list or no list.
struct TypedRate {
    const char* Typed;
    std::int32_t Rate;
};
class RateTyping : public MainWindow, public ::testing::WithParamInterface<TypedRate> {};

TEST_P(RateTyping, starts_at_the_rate_as_typed) {
    form->ComboBox2->setFocus();
    form->ComboBox2->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox2, GetParam().Typed);
    StartBert();
    EXPECT_EQ(form->Core().Settings().BitRate, GetParam().Rate);
    EXPECT_EQ(form->ComboBox2->currentText(), GetParam().Typed);
}
INSTANTIATE_TEST_SUITE_P(Texts, RateTyping,
                         ::testing::Values(TypedRate{"1152", 1152}, TypedRate{"1", 1},
                                           TypedRate{"4608", 4608}, TypedRate{"9600", 9600}),
                         [](const auto& info) { return Identifier(info.param.Typed); });

// The port box offers names but keeps what was typed, letter case included, also on Enter.
struct TypedPort {
    const char* Typed;
};
class PortTyping : public MainWindow, public ::testing::WithParamInterface<TypedPort> {};

TEST_P(PortTyping, keeps_the_text_as_typed) {
    form->ComboBox1->addItem("/dev/ttyUSB0");
    form->ComboBox1->setFocus();
    form->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox1, GetParam().Typed);
    QTest::keyClick(form->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(form->ComboBox1->currentText(), GetParam().Typed);
}
INSTANTIATE_TEST_SUITE_P(Texts, PortTyping,
                         ::testing::Values(TypedPort{"/dev/tty"}, TypedPort{"/dev/ttyUSB"},
                                           TypedPort{"loop"}, TypedPort{"LO"}),
                         [](const auto& info) { return Identifier(info.param.Typed); });

TEST_F(MainWindow, a_start_button_acts_on_the_first_click_while_port_names_are_offered) {
    form->ComboBox1->addItem("LOOP:seed=1");
    form->ComboBox1->setFocus();
    form->ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox1, "LOOP");
    ASSERT_TRUE(form->ComboBox1->completer()->popup()->isVisible());
    // Through the window, as a click comes, so an open list has its say; events run between
    // the press and the release as they do for a hand.
    const QPoint at = form->Button3->mapTo(form.get(), form->Button3->rect().center());
    QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(form->Session().Running());
    EXPECT_EQ(form->ComboBox1->currentText(), "LOOP");
}

TEST_F(MainWindow, typing_a_port_name_does_not_stop_the_test) {
    StartBert();
    QTest::keyClicks(form->ComboBox1, "X");
    EXPECT_TRUE(form->Session().Running());
}

TEST_F(MainWindow, clear_statistics_empties_the_coefficient_and_restarts_the_time) {
    form->ComboBox1->setEditText("LOOP:corrupt=1e-3,seed=2");
    StartBert();
    RunSeconds(2);
    ASSERT_FALSE(form->StaticS5->text().isEmpty());
    const QString before = form->StaticS3->text();
    Click(form->Button5);
    ASSERT_TRUE(RunEventsUntil([&] { return form->StaticS5->text().isEmpty(); }, 1000));
    RunSeconds(1);
    EXPECT_LT(form->StaticS3->text(), before);
}

// Under a locale with a decimal comma only the coefficient takes it.
class RussianDesktop : public MainWindow {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        MainWindow::SetUp();
    }
    void TearDown() override {
        MainWindow::TearDown();
        QLocale::setDefault(QLocale::c());
    }
};

TEST_F(RussianDesktop, the_coefficient_has_a_comma_and_every_other_number_a_point) {
    form->ComboBox1->setEditText("LOOP:corrupt=1e-3,seed=2");
    StartBert();
    RunSeconds(2);
    const QString coefficient = form->StaticS5->text();
    EXPECT_TRUE(QRegularExpression("^\\d,\\dE-0\\d$").match(coefficient).hasMatch())
        << coefficient.toStdString();
    EXPECT_TRUE(form->StaticS0->text().contains(QRegularExpression("^\\d+\\.\\d K")))
        << form->StaticS0->text().toStdString();
    for (QLabel* cell : {form->StaticS1, form->StaticS2, form->StaticS4})
        EXPECT_TRUE(QRegularExpression("^\\d+$").match(cell->text()).hasMatch())
            << cell->text().toStdString();
    EXPECT_TRUE(QRegularExpression("^0:00:0\\d$").match(form->StaticS3->text()).hasMatch());
}

// The received count fits its cell: the word "symb" goes where it would not.
struct ReceivedCase {
    const char* Text;
    const char* Shown;
};
class ReceivedCell : public MainWindow, public ::testing::WithParamInterface<ReceivedCase> {};

TEST_P(ReceivedCell, shows_the_count_within_its_border) {
    form->View().SetStatText(StatCell::Received, GetParam().Text);
    QLabel* cell = form->StaticS0;
    EXPECT_EQ(cell->text(), GetParam().Shown);
    EXPECT_LE(cell->fontMetrics().horizontalAdvance(cell->text()), cell->contentsRect().width());
}
INSTANTIATE_TEST_SUITE_P(Counts, ReceivedCell,
                         ::testing::Values(ReceivedCase{"9999 symb", "9999 symb"},
                                           ReceivedCase{"99.9 Ksymb", "99.9 Ksymb"},
                                           ReceivedCase{"100.0 Ksymb", "100.0 K"},
                                           ReceivedCase{"999.9 Ksymb", "999.9 K"},
                                           ReceivedCase{"1.0 Msymb", "1.0 Msymb"},
                                           ReceivedCase{"99.9 Msymb", "99.9 Msymb"},
                                           ReceivedCase{"123.4 Msymb", "123.4 M"},
                                           ReceivedCase{"21474.8 Msymb", "21474.8 M"}),
                         [](const auto& info) { return Identifier(info.param.Text); });

struct SymbolCase {
    const char* text;
    bool accepted;
};
class SymbolCheck : public MainWindow, public ::testing::WithParamInterface<SymbolCase> {};

TEST_P(SymbolCheck, leaving_the_symbol_field_checks_its_text) {
    QTest::keyClick(form->ComboBox3, Qt::Key_Home);
    ASSERT_TRUE(form->EditSymb->isVisible());
    form->EditSymb->setFocus();
    form->EditSymb->setText(GetParam().text);
    form->ComboBox2->setFocus();
    if (GetParam().accepted) {
        EXPECT_TRUE(Boxes.empty());
        EXPECT_EQ(form->EditSymb->text(), GetParam().text);
    } else {
        EXPECT_EQ(Boxes,
                  (std::vector<Box>{{"Код символа должен быть целым числом от 0 до 255!", true}}));
        EXPECT_EQ(form->EditSymb->text(), "$5a");
    }
}
INSTANTIATE_TEST_SUITE_P(Texts, SymbolCheck,
                         ::testing::Values(SymbolCase{"90", true}, SymbolCase{" 90", true},
                                           SymbolCase{"+90", true}, SymbolCase{"$5a", true},
                                           SymbolCase{"$5A", true}, SymbolCase{"90 ", false},
                                           SymbolCase{"5a", false}, SymbolCase{"$", false},
                                           SymbolCase{"", false}, SymbolCase{"0x5a", false},
                                           SymbolCase{"256", false}, SymbolCase{"-1", false}));

TEST_F(MainWindow, only_packet_size_1_shows_the_symbol_field) {
    QTest::keyClick(form->ComboBox3, Qt::Key_Home);
    EXPECT_EQ(form->ComboBox3->currentText(), "1");
    EXPECT_TRUE(form->EditSymb->isVisible());
    QTest::keyClick(form->ComboBox3, Qt::Key_Down);
    EXPECT_FALSE(form->EditSymb->isVisible());
}

// Whatever failed and whichever start was used, the idle look returns with the last run's
// figures in the cells.
struct FailedStart {
    const char* Button;
    const char* Port;
    const char* Rate;
};
class FailedStartLook : public MainWindow, public ::testing::WithParamInterface<FailedStart> {};

TEST_P(FailedStartLook, returns_the_idle_look_and_keeps_the_cells) {
    const std::vector<std::pair<StatCell, QLabel*>> cells = {
        {StatCell::Received, form->StaticS0},    {StatCell::CharRate, form->StaticS1},
        {StatCell::BitRate, form->StaticS2},     {StatCell::Errors, form->StaticS4},
        {StatCell::Coefficient, form->StaticS5}, {StatCell::Time, form->StaticS3}};
    const char* const lastRun[] = {"23.0 Ksymb", "11520", "115200", "17", "7.4E-04", "0:00:02"};
    for (std::size_t i = 0; i < cells.size(); ++i) form->View().SetStatText(cells[i].first, lastRun[i]);
    form->ComboBox1->setEditText(GetParam().Port);
    form->ComboBox2->setEditText(GetParam().Rate);
    Click(form->findChild<QPushButton*>(GetParam().Button));
    EXPECT_EQ(Boxes.size() + Reports.size(), 1u);
    ExpectIdleLook();
    for (std::size_t i = 0; i < cells.size(); ++i)
        EXPECT_EQ(cells[i].second->text(), lastRun[i])
            << cells[i].second->objectName().toStdString();
}
INSTANTIATE_TEST_SUITE_P(
    Failures, FailedStartLook,
    ::testing::Values(FailedStart{"Button3", "LOOP", "-9600"},
                      FailedStart{"Button1", "LOOP", "-9600"},
                      FailedStart{"Button4", "LOOP", "-9600"}, FailedStart{"Button3", "LOOP", "0"},
                      FailedStart{"Button1", "LOOP", "9600x"},
                      FailedStart{"Button3", "/dev/kvartix-no-such-port", "9600"},
                      FailedStart{"Button1", "/dev/kvartix-no-such-port", "9600"},
                      FailedStart{"Button4", "/dev/kvartix-no-such-port", "9600"}),
    [](const auto& info) {
        return Identifier(std::string(info.param.Button) + "_" + info.param.Port + "_" +
                          info.param.Rate);
    });

TEST_F(MainWindow, a_port_that_cannot_be_opened_is_reported_and_the_window_stays_idle) {
    form->ComboBox1->setEditText("/dev/kvartix-no-such-port");
    Click(form->Button3);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "/dev/kvartix-no-such-port не доступен");
    ExpectIdleLook();
}

TEST_F(MainWindow, a_bit_rate_that_is_no_number_is_reported_and_leaves_the_port_free) {
    form->ComboBox2->setEditText("9600x");
    Click(form->Button3);
    EXPECT_EQ(Reports, std::vector<std::string>{"'9600x' is not a valid integer value."});
    ExpectIdleLook();
    form->ComboBox2->setEditText("9600");
    StartBert();
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(MainWindow, a_pseudo_terminal_closed_mid_test_is_reported_once_and_the_window_goes_idle) {
    PtyMaster far;
    form->ComboBox1->setEditText(QString::fromStdString(far.SlavePath()));
    StartBert();
    RunEventsFor(300);
    far.Close();
    ASSERT_TRUE(RunEventsUntil([&] { return !form->Session().Running(); }, 3000));
    RunEventsFor(300);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, far.SlavePath() + " не доступен");
    ExpectIdleLook();
}

TEST_F(MainWindow, a_screen_reader_names_each_group_by_its_caption_and_the_hint_button) {
    const std::vector<std::pair<const char*, const char*>> names = {
        {"GroupBox1", "Parameters"},         {"GroupBox2", "Data bits"},
        {"GroupBox3", "Stop bits"},          {"GroupBox4", "Parity"},
        {"GroupBox5", "Flow control"},       {"GroupBox8", "DSR sensibility"},
        {"GroupBox6", "DTR on start"},       {"GroupBox9", "Data flow features"},
        {"GroupBox7", "Watch flow control"}, {"SpeedButton1", "Hints"}};
    for (const auto& [object, name] : names) {
        QWidget* w = form->findChild<QWidget*>(object);
        ASSERT_NE(w, nullptr) << object;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << object;
        EXPECT_EQ(a->text(QAccessible::Name).toStdString(), name) << object;
    }
}

// Every control's member is the widget of that name, inside the group the layout puts it in.
TEST_F(MainWindow, each_control_member_is_its_named_widget_in_its_group) {
    struct Bound {
        QWidget* Member;
        const char* Name;
        QWidget* Group;  // nullptr: the client area
    };
    const Bound rows[] = {
        {form->GroupBox1, "GroupBox1", nullptr},
        {form->ComboBox2, "ComboBox2", form->GroupBox1},
        {form->RadioD[0], "RadioD5", form->GroupBox2},
        {form->RadioD[3], "RadioD8", form->GroupBox2},
        {form->RadioS[1], "RadioS2", form->GroupBox3},
        {form->RadioP[4], "RadioP4", form->GroupBox4},
        {form->CheckSoft, "CheckSoft", form->GroupBox5},
        {form->RadioDSR2, "RadioDSR2", form->GroupBox8},
        {form->RadioDTR1, "RadioDTR1", form->GroupBox6},
        {form->RadioRF2, "RadioRF2", form->GroupBox9},
        {form->Button4, "Button4", form->GroupBox1},
        {form->LedDCD, "LedDCD", form->GroupBox7},
        {form->Label7, "Label7", form->GroupBox7},
        {form->ComboBox3, "ComboBox3", nullptr},
        {form->EditSymb, "EditSymb", nullptr},
        {form->StaticS3, "StaticS3", nullptr},
    };
    QWidget* client = form->centralWidget();
    for (const Bound& row : rows) {
        ASSERT_NE(row.Member, nullptr) << row.Name;
        EXPECT_EQ(row.Member->objectName(), QString::fromLatin1(row.Name));
        EXPECT_EQ(row.Member->parentWidget(), row.Group ? row.Group : client) << row.Name;
    }
}

TEST_F(MainWindow, the_question_mark_button_switches_the_hints) {
    auto showHint = [&] {
        QToolTip::hideText();
        const QPoint at(5, 5);
        QHelpEvent help(QEvent::ToolTip, at, form->Button2->mapToGlobal(at));
        QApplication::sendEvent(form->Button2, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(showHint(), "");
    Click(form->SpeedButton1);
    EXPECT_EQ(showHint(), WrappedHintText("Останавливает любые тесты."));
    Click(form->SpeedButton1);
    EXPECT_EQ(showHint(), "");
}

}  // namespace
}  // namespace kvartix::test
