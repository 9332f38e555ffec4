// The main window's controls and where they sit: one table, in pixels, relative to the owner.
#include <QCompleter>
#include <QMenuBar>
#include <QWidget>

#include "ui/QuestionMarkIcon.h"
#include "ui/Umain.h"

namespace kvartix {
namespace {

enum class Kind {
    Group,
    EditCombo,
    ListCombo,
    Radio,
    Check,
    Button,
    Strip,
    Label,
    Led,
    Edit,
    Cell
};

struct Place {
    Kind kind;
    const char* name;
    const char* owner;             // nullptr: the client area
    int left, top, width, height;  // width 0: as wide as the caption
    const char* caption;
};

// clang-format off
constexpr Place kPlaces[] = {
    {Kind::Group, "GroupBox1", nullptr, 16, 0, 337, 252, "Parameters"},
    {Kind::EditCombo, "ComboBox1", "GroupBox1", 16, 20, 113, 21, ""},
    {Kind::Label, "Label1", "GroupBox1", 192, 7, 0, 13, "Bit rate"},
    {Kind::EditCombo, "ComboBox2", "GroupBox1", 144, 20, 145, 21, ""},
    {Kind::Group, "GroupBox2", "GroupBox1", 8, 43, 57, 105, "Data bits"},
    {Kind::Radio, "RadioD5", "GroupBox2", 8, 16, 45, 17, "5"},
    {Kind::Radio, "RadioD6", "GroupBox2", 8, 32, 45, 17, "6"},
    {Kind::Radio, "RadioD7", "GroupBox2", 8, 48, 45, 17, "7"},
    {Kind::Radio, "RadioD8", "GroupBox2", 8, 64, 45, 17, "8"},
    {Kind::Group, "GroupBox3", "GroupBox1", 72, 43, 57, 105, "Stop bits"},
    {Kind::Radio, "RadioS1", "GroupBox3", 8, 32, 45, 17, "1"},
    {Kind::Radio, "RadioS2", "GroupBox3", 8, 48, 45, 17, "1.5"},
    {Kind::Radio, "RadioS3", "GroupBox3", 8, 64, 45, 17, "2"},
    {Kind::Group, "GroupBox4", "GroupBox1", 136, 43, 81, 105, "Parity"},
    {Kind::Radio, "RadioP0", "GroupBox4", 8, 16, 71, 17, "No parity"},
    {Kind::Radio, "RadioP1", "GroupBox4", 8, 32, 71, 17, "Odd"},
    {Kind::Radio, "RadioP2", "GroupBox4", 8, 48, 71, 17, "Even"},
    {Kind::Radio, "RadioP3", "GroupBox4", 8, 64, 71, 17, "Mark"},
    {Kind::Radio, "RadioP4", "GroupBox4", 8, 80, 71, 17, "Space"},
    {Kind::Group, "GroupBox5", "GroupBox1", 224, 43, 105, 52, "Flow control"},
    {Kind::Check, "CheckHard", "GroupBox5", 8, 14, 95, 17, "RTS/CTS"},
    {Kind::Check, "CheckSoft", "GroupBox5", 8, 30, 95, 17, "Xon/Xoff"},
    {Kind::Group, "GroupBox8", "GroupBox1", 224, 97, 105, 51, "DSR sensibility"},
    {Kind::Radio, "RadioDSR1", "GroupBox8", 8, 14, 95, 17, "Flow control"},
    {Kind::Radio, "RadioDSR2", "GroupBox8", 8, 30, 95, 17, "Ignored"},
    {Kind::Group, "GroupBox6", "GroupBox1", 8, 150, 121, 53, "DTR on start"},
    {Kind::Radio, "RadioDTR1", "GroupBox6", 8, 14, 111, 17, "High (low on stop) "},
    {Kind::Radio, "RadioDTR2", "GroupBox6", 8, 32, 111, 17, "Always low"},
    {Kind::Group, "GroupBox9", "GroupBox1", 136, 150, 193, 53, "Data flow features"},
    {Kind::Radio, "RadioRF1", "GroupBox9", 8, 14, 183, 17, "Maximum data speed"},
    {Kind::Radio, "RadioRF2", "GroupBox9", 8, 30, 183, 17, "Random data speed"},
    {Kind::Strip, "StaticText3", "GroupBox1", 8, 208, 81, 9, ""},
    {Kind::Strip, "StaticText1", "GroupBox1", 96, 208, 81, 9, ""},
    {Kind::Button, "Button3", "GroupBox1", 8, 220, 81, 25, "Start &BERT"},
    {Kind::Button, "Button1", "GroupBox1", 96, 220, 81, 25, "Start &Loopback"},
    {Kind::Button, "Button2", "GroupBox1", 184, 220, 73, 25, "&Stop"},
    {Kind::Button, "Button4", "GroupBox1", 264, 220, 67, 25, "&Terminal"},
    {Kind::Group, "GroupBox7", nullptr, 16, 254, 161, 64, "Watch flow control"},
    {Kind::Led, "LedXR", "GroupBox7", 5, 12, 15, 15, ""},
    {Kind::Led, "LedXS", "GroupBox7", 5, 28, 15, 15, ""},
    {Kind::Label, "Label4", "GroupBox7", 24, 14, 0, 13, "Xoff recieved"},
    {Kind::Label, "Label5", "GroupBox7", 24, 30, 0, 13, "Xoff sent"},
    {Kind::Led, "LedCTS", "GroupBox7", 109, 12, 15, 15, ""},
    {Kind::Led, "LedDSR", "GroupBox7", 109, 28, 15, 15, ""},
    {Kind::Led, "LedDCD", "GroupBox7", 109, 44, 15, 15, ""},
    {Kind::Label, "Label6", "GroupBox7", 128, 14, 0, 13, "CTS"},
    {Kind::Label, "Label2", "GroupBox7", 128, 30, 0, 13, "DSR"},
    {Kind::Label, "Label7", "GroupBox7", 128, 46, 0, 13, "DCD"},
    {Kind::Label, "Label11", nullptr, 252, 260, 0, 13, "Packet size"},
    {Kind::ListCombo, "ComboBox3", nullptr, 185, 257, 64, 21, ""},
    {Kind::Edit, "EditSymb", nullptr, 320, 257, 33, 21, "$5a"},
    {Kind::Button, "Button5", nullptr, 184, 360, 169, 21, "&Clear statistics"},
    {Kind::Cell, "StaticS0", nullptr, 0, 405, 65, 17, ""},
    {Kind::Cell, "StaticS1", nullptr, 67, 405, 58, 17, ""},
    {Kind::Cell, "StaticS2", nullptr, 127, 405, 58, 17, ""},
    {Kind::Cell, "StaticS4", nullptr, 187, 405, 63, 17, ""},
    {Kind::Cell, "StaticS5", nullptr, 252, 404, 58, 18, ""},
    {Kind::Cell, "StaticS3", nullptr, 312, 405, 54, 17, ""},
};
// clang-format on

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

QWidget* Create(Kind kind, const QString& caption, QWidget* owner) {
    switch (kind) {
        case Kind::Group:
            return new QGroupBox(caption, owner);
        case Kind::EditCombo: {
            auto* box = new QComboBox(owner);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            return box;
        }
        case Kind::ListCombo:
            return new QComboBox(owner);
        case Kind::Radio:
            return new QRadioButton(caption, owner);
        case Kind::Check:
            return new QCheckBox(caption, owner);
        case Kind::Button:
            return new QPushButton(caption, owner);
        case Kind::Led:
            return new TKivLed(owner);
        case Kind::Edit:
            return new QLineEdit(caption, owner);
        case Kind::Label:
            return new QLabel(caption, owner);
        case Kind::Strip:
        case Kind::Cell: {
            auto* cell = new QLabel(caption, owner);
            cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            cell->setAlignment(Qt::AlignCenter);
            cell->setAutoFillBackground(true);
            return cell;
        }
    }
    return nullptr;
}

template <class T>
T* Named(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

void TForm1::BuildControls(QWidget* client) {
    for (const Place& p : kPlaces) {
        QWidget* owner = p.owner ? Named<QWidget>(client, p.owner) : client;
        QWidget* w = Create(p.kind, QString::fromUtf8(p.caption), owner);
        w->setObjectName(QString::fromLatin1(p.name));
        // A screen reader names a group by its own caption, not by the group around it.
        if (p.kind == Kind::Group) w->setAccessibleName(QString::fromUtf8(p.caption));
        w->move(p.left, p.top);
        if (p.width > 0)
            w->resize(p.width, p.height);
        else
            w->resize(w->sizeHint().width(), p.height);
    }
    GroupBox1 = Named<QGroupBox>(client, "GroupBox1");
    ComboBox1 = Named<QComboBox>(client, "ComboBox1");
    Label1 = Named<QLabel>(client, "Label1");
    ComboBox2 = Named<QComboBox>(client, "ComboBox2");
    for (int i = 0; i < 4; ++i)
        RadioD[i] = Named<QRadioButton>(client, ("RadioD" + std::to_string(5 + i)).c_str());
    for (int i = 0; i < 3; ++i)
        RadioS[i] = Named<QRadioButton>(client, ("RadioS" + std::to_string(1 + i)).c_str());
    for (int i = 0; i < 5; ++i)
        RadioP[i] = Named<QRadioButton>(client, ("RadioP" + std::to_string(i)).c_str());
    CheckHard = Named<QCheckBox>(client, "CheckHard");
    CheckSoft = Named<QCheckBox>(client, "CheckSoft");
    RadioDSR1 = Named<QRadioButton>(client, "RadioDSR1");
    RadioDSR2 = Named<QRadioButton>(client, "RadioDSR2");
    RadioDTR1 = Named<QRadioButton>(client, "RadioDTR1");
    RadioDTR2 = Named<QRadioButton>(client, "RadioDTR2");
    RadioRF1 = Named<QRadioButton>(client, "RadioRF1");
    RadioRF2 = Named<QRadioButton>(client, "RadioRF2");
    StaticText3 = Named<QLabel>(client, "StaticText3");
    StaticText1 = Named<QLabel>(client, "StaticText1");
    Button3 = Named<QPushButton>(client, "Button3");
    Button1 = Named<QPushButton>(client, "Button1");
    Button2 = Named<QPushButton>(client, "Button2");
    Button4 = Named<QPushButton>(client, "Button4");
    LedXR = Named<TKivLed>(client, "LedXR");
    LedXS = Named<TKivLed>(client, "LedXS");
    LedCTS = Named<TKivLed>(client, "LedCTS");
    LedDSR = Named<TKivLed>(client, "LedDSR");
    LedDCD = Named<TKivLed>(client, "LedDCD");
    Label4 = Named<QLabel>(client, "Label4");
    Label5 = Named<QLabel>(client, "Label5");
    Label6 = Named<QLabel>(client, "Label6");
    Label2 = Named<QLabel>(client, "Label2");
    Label7 = Named<QLabel>(client, "Label7");
    Label11 = Named<QLabel>(client, "Label11");
    ComboBox3 = Named<QComboBox>(client, "ComboBox3");
    EditSymb = Named<QLineEdit>(client, "EditSymb");
    Button5 = Named<QPushButton>(client, "Button5");
    StaticS0 = Named<QLabel>(client, "StaticS0");
    StaticS1 = Named<QLabel>(client, "StaticS1");
    StaticS2 = Named<QLabel>(client, "StaticS2");
    StaticS3 = Named<QLabel>(client, "StaticS3");
    StaticS4 = Named<QLabel>(client, "StaticS4");
    StaticS5 = Named<QLabel>(client, "StaticS5");

    // A typed bit rate is the rate: completing "1152" from the list would run 115200.
    ComboBox2->setCompleter(nullptr);
    // Port names are offered as the user types, never put in place of what was typed.
    ComboBox1->completer()->setCompletionMode(QCompleter::PopupCompletion);
    ComboBox1->completer()->setCaseSensitivity(Qt::CaseSensitive);

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

    Chart1 = new RateChartWidget(m_engine.Chart(), client);
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
