#include "ui/Umain.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QLocale>
#include <QMenuBar>
#include <QStringList>

#include "app/LineChoices.h"
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
    SetHints();
    m_portBoxHint = ComboBox1->toolTip();
    ShowIdleIndicators();
    SetInitialValues(ports, preselected);
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

void TForm1::SetInitialValues(const std::vector<std::string>& ports,
                              const std::string& preselected) {
    for (const std::string& port : ports) ComboBox1->addItem(QString::fromStdString(port));
    ComboBox1->setCurrentIndex(ComboBox1->findText(QString::fromStdString(preselected)));
    ComboBox1->setEditText(QString::fromStdString(preselected));
    for (const std::int32_t rate : kBitRateEntries) ComboBox2->addItem(QString::number(rate));
    for (const std::int32_t size : kPacketSizeEntries) ComboBox3->addItem(QString::number(size));
    ShowLineSettings(ProgramSettings{});
    Button2->setEnabled(false);
    Button5->setEnabled(false);
}

void TForm1::ShowPortInfo(const std::vector<PortInfo>& info) {
    for (std::size_t i = 0; i < info.size() && static_cast<int>(i) < ComboBox1->count(); ++i)
        ComboBox1->setItemData(static_cast<int>(i), QString::fromStdString(PortHintText(info[i])),
                               Qt::ToolTipRole);
    ShowChosenPortHint();
}

// The box's own hint, then what the port named in it is, when it is one of the list.
void TForm1::ShowChosenPortHint() {
    const int item = ComboBox1->findText(ComboBox1->currentText());
    const QString port =
        item < 0 ? QString() : ComboBox1->itemData(item, Qt::ToolTipRole).toString();
    ComboBox1->setToolTip(port.isEmpty() ? m_portBoxHint : m_portBoxHint + "\n\n" + port);
}

void TForm1::BindHandlers() {
    // A setting chosen while a test runs stops it: radio buttons when they become chosen,
    // check boxes on every change, drop-downs when an entry is picked from the list.
    QList<QRadioButton*> radios{RadioDSR1, RadioDSR2, RadioDTR1, RadioDTR2, RadioRF1, RadioRF2};
    for (QRadioButton* r : RadioD) radios << r;
    for (QRadioButton* r : RadioS) radios << r;
    for (QRadioButton* r : RadioP) radios << r;
    for (QRadioButton* r : radios)
        connect(r, &QRadioButton::toggled, this, [this](bool chosen) {
            if (chosen) Button2Click();
        });
    for (QCheckBox* c : {CheckHard, CheckSoft})
        connect(c, &QCheckBox::toggled, this, [this] { Button2Click(); });
    for (QComboBox* c : {ComboBox1, ComboBox2})
        connect(c, &QComboBox::activated, this, [this] { Button2Click(); });
    connect(ComboBox3, &QComboBox::activated, this, [this] {
        Button2Click();
        ComboBox3Change();
    });
    EditSymb->installEventFilter(this);  // click: stop; leaving: EditSymbExit

    for (QPushButton* b : {Button3, Button1, Button4})
        connect(b, &QPushButton::clicked, this, [this, b] { Button1Click(b); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(GroupBox10->CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(SpeedButton1, &QToolButton::toggled, this, [this] { SpeedButton1Click(); });
    connect(ComboBox1, &QComboBox::currentTextChanged, this, [this] { ShowChosenPortHint(); });
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
