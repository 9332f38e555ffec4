#include "ui/Umain.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QLocale>
#include <QMenuBar>
#include <QStringList>

#include "serial/PortDiscovery.h"
#include "ui/Hints.h"
#include "ui/WindowFont.h"

namespace kvartix {
namespace {

constexpr int kClientWidth = 366;
constexpr int kClientHeight = 422;

}  // namespace

TForm1::TForm1(const std::vector<std::string>& ports, const std::string& preselected,
               QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    HintFilter::Install().SetEnabled(false);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("KVARTIX default"));
    setFont(WindowFont());
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    BuildControls(client);
    ApplyHints(*this, MainWindowHints());
    ShowIdleIndicators();
    m_line.Fill(ports, preselected);
    ShowSettings(ProgramSettings{});
    Button2->setEnabled(false);
    Button5->setEnabled(false);
    BindHandlers();
    m_describePort = DescribeSystemPort;
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    Core().SetDecimalSeparator(LocaleDecimalSeparator());
}

// The user's decimal separator, for the error coefficient alone (1,1E-03 under ru_RU); every
// other number text keeps ".". One the cell cannot hold as a single character gives ".".
char TForm1::LocaleDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

// No tick may reach a window half destroyed, and the port goes before the engine.
TForm1::~TForm1() {
    delete Timer1;
    m_controller.Stop();
}

void TForm1::BindHandlers() {
    // A setting chosen while a test runs stops it.
    m_line.OnChosen([this] { Button2Click(); });
    connect(ComboBox3, &QComboBox::activated, this, [this] { ComboBox3Change(); });
    EditSymb->installEventFilter(this);  // click: stop; leaving: EditSymbExit

    for (QPushButton* b : {Button3, Button1, Button4})
        connect(b, &QPushButton::clicked, this, [this, b] { Button1Click(b); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(GroupBox10->CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(SpeedButton1, &QToolButton::toggled, this, [this] { SpeedButton1Click(); });
    Timer1->SetOnTimer([this](QObject*) { Timer1Timer(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EditSymb) {
        if (event->type() == QEvent::MouseButtonPress) Button2Click();
        // Leaving the field, not the window: a message box opening over it is no exit.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) EditSymbExit();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::SpeedButton1Click() {
    HintFilter::Install().SetEnabled(SpeedButton1->isChecked());
}

}  // namespace kvartix
