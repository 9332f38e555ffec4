// The main window's controls and where they sit: one table, in pixels, relative to the owner.
#include <QMenuBar>
#include <QWidget>

#include "ui/FixedLayout.h"
#include "ui/QuestionMarkIcon.h"
#include "ui/Umain.h"

namespace kvartix {
namespace {

using layout::MakeAt;
using layout::Kind;
using Place = layout::Place<TForm1>;

// The member and the object's name, which the hints and the tests use, are the same word.
#define BOUND(member) layout::Make<&TForm1::member>, #member

// clang-format off
constexpr Place kPlaces[] = {
    {Kind::Group, BOUND(GroupBox1), nullptr, 16, 0, 337, 252, "Parameters"},
    {Kind::EditCombo, BOUND(ComboBox1), &TForm1::GroupBox1, 16, 20, 113, 21, ""},
    {Kind::Label, BOUND(Label1), &TForm1::GroupBox1, 192, 7, 0, 13, "Bit rate"},
    {Kind::EditCombo, BOUND(ComboBox2), &TForm1::GroupBox1, 144, 20, 145, 21, ""},
    {Kind::Group, BOUND(GroupBox2), &TForm1::GroupBox1, 8, 43, 57, 105, "Data bits"},
    {Kind::Radio, MakeAt<&TForm1::RadioD, 0>, "RadioD5", &TForm1::GroupBox2, 8, 16, 45, 17, "5"},
    {Kind::Radio, MakeAt<&TForm1::RadioD, 1>, "RadioD6", &TForm1::GroupBox2, 8, 32, 45, 17, "6"},
    {Kind::Radio, MakeAt<&TForm1::RadioD, 2>, "RadioD7", &TForm1::GroupBox2, 8, 48, 45, 17, "7"},
    {Kind::Radio, MakeAt<&TForm1::RadioD, 3>, "RadioD8", &TForm1::GroupBox2, 8, 64, 45, 17, "8"},
    {Kind::Group, BOUND(GroupBox3), &TForm1::GroupBox1, 72, 43, 57, 105, "Stop bits"},
    {Kind::Radio, MakeAt<&TForm1::RadioS, 0>, "RadioS1", &TForm1::GroupBox3, 8, 32, 45, 17, "1"},
    {Kind::Radio, MakeAt<&TForm1::RadioS, 1>, "RadioS2", &TForm1::GroupBox3, 8, 48, 45, 17, "1.5"},
    {Kind::Radio, MakeAt<&TForm1::RadioS, 2>, "RadioS3", &TForm1::GroupBox3, 8, 64, 45, 17, "2"},
    {Kind::Group, BOUND(GroupBox4), &TForm1::GroupBox1, 136, 43, 81, 105, "Parity"},
    {Kind::Radio, MakeAt<&TForm1::RadioP, 0>, "RadioP0", &TForm1::GroupBox4, 8, 16, 71, 17, "No parity"},
    {Kind::Radio, MakeAt<&TForm1::RadioP, 1>, "RadioP1", &TForm1::GroupBox4, 8, 32, 71, 17, "Odd"},
    {Kind::Radio, MakeAt<&TForm1::RadioP, 2>, "RadioP2", &TForm1::GroupBox4, 8, 48, 71, 17, "Even"},
    {Kind::Radio, MakeAt<&TForm1::RadioP, 3>, "RadioP3", &TForm1::GroupBox4, 8, 64, 71, 17, "Mark"},
    {Kind::Radio, MakeAt<&TForm1::RadioP, 4>, "RadioP4", &TForm1::GroupBox4, 8, 80, 71, 17, "Space"},
    {Kind::Group, BOUND(GroupBox5), &TForm1::GroupBox1, 224, 43, 105, 52, "Flow control"},
    {Kind::Check, BOUND(CheckHard), &TForm1::GroupBox5, 8, 14, 95, 17, "RTS/CTS"},
    {Kind::Check, BOUND(CheckSoft), &TForm1::GroupBox5, 8, 30, 95, 17, "Xon/Xoff"},
    {Kind::Group, BOUND(GroupBox8), &TForm1::GroupBox1, 224, 97, 105, 51, "DSR sensibility"},
    {Kind::Radio, BOUND(RadioDSR1), &TForm1::GroupBox8, 8, 14, 95, 17, "Flow control"},
    {Kind::Radio, BOUND(RadioDSR2), &TForm1::GroupBox8, 8, 30, 95, 17, "Ignored"},
    {Kind::Group, BOUND(GroupBox6), &TForm1::GroupBox1, 8, 150, 121, 53, "DTR on start"},
    {Kind::Radio, BOUND(RadioDTR1), &TForm1::GroupBox6, 8, 14, 111, 17, "High (low on stop) "},
    {Kind::Radio, BOUND(RadioDTR2), &TForm1::GroupBox6, 8, 32, 111, 17, "Always low"},
    {Kind::Group, BOUND(GroupBox9), &TForm1::GroupBox1, 136, 150, 193, 53, "Data flow features"},
    {Kind::Radio, BOUND(RadioRF1), &TForm1::GroupBox9, 8, 14, 183, 17, "Maximum data speed"},
    {Kind::Radio, BOUND(RadioRF2), &TForm1::GroupBox9, 8, 30, 183, 17, "Random data speed"},
    {Kind::Strip, BOUND(StaticText3), &TForm1::GroupBox1, 8, 208, 81, 9, ""},
    {Kind::Strip, BOUND(StaticText1), &TForm1::GroupBox1, 96, 208, 81, 9, ""},
    {Kind::Button, BOUND(Button3), &TForm1::GroupBox1, 8, 220, 81, 25, "Start &BERT"},
    {Kind::Button, BOUND(Button1), &TForm1::GroupBox1, 96, 220, 81, 25, "Start &Loopback"},
    {Kind::Button, BOUND(Button2), &TForm1::GroupBox1, 184, 220, 73, 25, "&Stop"},
    {Kind::Button, BOUND(Button4), &TForm1::GroupBox1, 264, 220, 67, 25, "&Terminal"},
    {Kind::Group, BOUND(GroupBox7), nullptr, 16, 254, 161, 64, "Watch flow control"},
    {Kind::Led, BOUND(LedXR), &TForm1::GroupBox7, 5, 12, 15, 15, ""},
    {Kind::Led, BOUND(LedXS), &TForm1::GroupBox7, 5, 28, 15, 15, ""},
    {Kind::Label, BOUND(Label4), &TForm1::GroupBox7, 24, 14, 0, 13, "Xoff recieved"},
    {Kind::Label, BOUND(Label5), &TForm1::GroupBox7, 24, 30, 0, 13, "Xoff sent"},
    {Kind::Led, BOUND(LedCTS), &TForm1::GroupBox7, 109, 12, 15, 15, ""},
    {Kind::Led, BOUND(LedDSR), &TForm1::GroupBox7, 109, 28, 15, 15, ""},
    {Kind::Led, BOUND(LedDCD), &TForm1::GroupBox7, 109, 44, 15, 15, ""},
    {Kind::Label, BOUND(Label6), &TForm1::GroupBox7, 128, 14, 0, 13, "CTS"},
    {Kind::Label, BOUND(Label2), &TForm1::GroupBox7, 128, 30, 0, 13, "DSR"},
    {Kind::Label, BOUND(Label7), &TForm1::GroupBox7, 128, 46, 0, 13, "DCD"},
    {Kind::Label, BOUND(Label11), nullptr, 252, 260, 0, 13, "Packet size"},
    {Kind::ListCombo, BOUND(ComboBox3), nullptr, 185, 257, 64, 21, ""},
    {Kind::Edit, BOUND(EditSymb), nullptr, 320, 257, 33, 21, "$5a"},
    {Kind::Button, BOUND(Button5), nullptr, 184, 360, 169, 21, "&Clear statistics"},
    {Kind::Cell, BOUND(StaticS0), nullptr, 0, 405, 65, 17, ""},
    {Kind::Cell, BOUND(StaticS1), nullptr, 67, 405, 58, 17, ""},
    {Kind::Cell, BOUND(StaticS2), nullptr, 127, 405, 58, 17, ""},
    {Kind::Cell, BOUND(StaticS4), nullptr, 187, 405, 63, 17, ""},
    {Kind::Cell, BOUND(StaticS5), nullptr, 252, 404, 58, 18, ""},
    {Kind::Cell, BOUND(StaticS3), nullptr, 312, 405, 54, 17, ""},
};
// clang-format on
#undef BOUND

// The header strip's captions and widths, left to right.
struct Heading {
    const char* caption;
    int width;
    Qt::Alignment align;
};
constexpr Heading kHeadings[] = {
    {"Received", 65, Qt::AlignCenter},
    {"symbol/s", 60, Qt::AlignCenter},
    {"bit/s", 60, Qt::AlignCenter},
    {"Errors", 65, Qt::AlignCenter},
    {"Coef errors", 60, Qt::AlignLeft | Qt::AlignVCenter},
    {"Time", 60, Qt::AlignCenter},
};

}  // namespace

void TForm1::BuildControls(QWidget* client) {
    layout::Build(*this, kPlaces, client);


    SpeedButton1 = new QToolButton(GroupBox1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(304, 20, 22, 21);
    SpeedButton1->setCheckable(true);
    SpeedButton1->setAutoRaise(false);
    SpeedButton1->setIcon(QuestionMarkIcon());
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAccessibleName(QStringLiteral("Hints"));

    GroupBox10 = new ErrorPanel(client);
    GroupBox10->setGeometry(184, 281, 169, 76);

    Chart1 = new RateChartWidget(Core().Chart(), client);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setGeometry(13, 322, 169, 64);

    StatusBar2 = new QWidget(client);
    StatusBar2->setObjectName(QStringLiteral("StatusBar2"));
    StatusBar2->setGeometry(0, 384, 366, 19);
    int x = 0;
    for (const Heading& h : kHeadings) {
        auto* heading = new QLabel(QString::fromLatin1(h.caption), StatusBar2);
        heading->setFrameStyle(QFrame::Panel | QFrame::Raised);
        heading->setAlignment(h.align);
        heading->setIndent(2);
        heading->setGeometry(x, 0, h.width, 19);
        x += h.width;
    }

    auto* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* contents = help->addAction(QStringLiteral("Contents"));
    contents->setObjectName(QStringLiteral("Hconte1"));
    connect(contents, &QAction::triggered, this, [this] { Hconte1Click(); });

    Timer1 = new TKivTimer32(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->SetEnabled(false);
    Timer1->SetInterval(100);
    Timer1->SetPriority(TThreadPriority::tpTimeCritical);
}

}  // namespace kvartix
