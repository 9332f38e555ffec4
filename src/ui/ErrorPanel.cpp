#include "ui/ErrorPanel.h"

#include <utility>

#include "engine/ErrorCaptions.h"

namespace kvartix {
namespace {

const QColor kRed{0xFF, 0x00, 0x00};

struct HintTexts {
    const char* Driver;
    const char* Packet;
};
const HintTexts kParityHints{
    "Ошибки контроля по четности. Возможные причины: неправильно установлен параметр Parity; в "
    "принятом символе изкажены несколько битов.",
    "Получены 1 или 2 искаженных символа, после чего данные пришли без ошибок"};
const HintTexts kOverrunHints{
    "Буфер приемника COM порта был переполнен. Символы были утеряны. Возможные причины: "
    "недостаточное быстродействие компьютера, ошибки в операционной системе, ошибки в драйвере "
    "COM порта.",
    "Был пропущен один символ, после чего данные пришли без ошибок"};
const HintTexts kFramingHints{
    "Ошибка формы принятого в COM порт сигнала.  Возможные причины: неправильно установлены "
    "параметры Data bits, Stop bits; искаженная форма принимаемого сигнала и т.п.",
    "Потеря синхронизации. В блоке данных было утеряно/искажено более 2-х символов подряд"};

template <typename Row>
QString Caption(Row row, std::int32_t count) {
    if constexpr (std::is_same_v<Row, DriverErrorRow>)
        return QString::fromStdString(DriverErrorCaption(row) + CountSuffix(count));
    else
        return QString::fromStdString(PacketErrorCaption(row) + CountSuffix(count));
}

QColor FaceColour(const QWidget& w) {
    return w.parentWidget()->palette().color(QPalette::Button);
}

QLabel* MakeCell(QWidget* parent, const char* name, int top) {
    auto* cell = new QLabel(parent);
    cell->setObjectName(QString::fromLatin1(name));
    cell->setGeometry(16, top, 9, 9);
    cell->setAutoFillBackground(true);
    return cell;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->resize(130, 13);
    return label;
}

}  // namespace

void SetBackground(QWidget& w, const QColor& colour) {
    QPalette p = w.palette();
    p.setColor(QPalette::Window, colour);
    w.setPalette(p);
}

QString FormatCountSuffix(std::int32_t count) {
    return QString::fromStdString(CountSuffix(count));
}

void SetErrorCellActive(QLabel& cell, bool active) {
    cell.setFrameStyle(active ? QFrame::Box | QFrame::Plain : QFrame::Panel | QFrame::Sunken);
    cell.setLineWidth(1);
    cell.setEnabled(active);
    SetBackground(cell, FaceColour(cell));
}

ErrorPanel::ErrorPanel(QWidget* parent)
    : QGroupBox(QString::fromLatin1(kDriverErrorsTitle), parent) {
    setObjectName(QStringLiteral("GroupBox10"));
    StaticPa = MakeCell(this, "StaticPa", 15);
    StaticOv = MakeCell(this, "StaticOv", 30);
    StaticFE = MakeCell(this, "StaticFE", 45);
    StaticEr = MakeCell(this, "StaticEr", 60);
    Label9 = MakeLabel(this, "Label9", 32, 13, "Parity Errors");
    Label13 = MakeLabel(this, "Label13", 32, 28, "Overrun errors");
    Label14 = MakeLabel(this, "Label14", 32, 43, "Framing errors");
    Label10 = MakeLabel(this, "Label10", 32, 57, "Other errors");
    Label10->resize(88, 13);  // up to the raw error word beside it
    Label12 = MakeLabel(this, "Label12", 120, 57, "");
    Label12->resize(46, 13);
    Label10->setToolTip(QStringLiteral("Ошибки работы драйвера COM порта."));
    Label9->setToolTip(QString::fromUtf8(kParityHints.Driver));
    Label13->setToolTip(QString::fromUtf8(kOverrunHints.Driver));
    Label14->setToolTip(QString::fromUtf8(kFramingHints.Driver));
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(150, 8, 14, 19);
    CheckBox1->setChecked(true);
    CheckBox1->setToolTip(QStringLiteral("Меняет отображаемые параметры"));
}

void ErrorPanel::Refresh(const ErrorCounts& c, bool parityChosen, bool testRunning) {
    const bool driver = m_showDriverErrors;
    const HintTexts* hints[] = {&kParityHints, &kOverrunHints, &kFramingHints};
    QLabel* labels[] = {Label9, Label13, Label14};
    for (int i = 0; i < 3; ++i)
        labels[i]->setToolTip(QString::fromUtf8(driver ? hints[i]->Driver : hints[i]->Packet));
    if (driver) {
        setTitle(QString::fromLatin1(kDriverErrorsTitle));
        Label9->setText(Caption(DriverErrorRow::Parity, c.Driver.ParityErrors));
        Label13->setText(Caption(DriverErrorRow::Overrun, c.Driver.OverrunErrors));
        Label14->setText(Caption(DriverErrorRow::Framing, c.Driver.FramingErrors));
        Label10->setText(Caption(DriverErrorRow::Other, c.Driver.OtherErrors));
    } else {
        setTitle(QString::fromLatin1(kPacketErrorsTitle));
        Label9->setText(Caption(PacketErrorRow::InvalidSymbol, c.InvalidSymbol));
        Label13->setText(Caption(PacketErrorRow::SymbolLost, c.SymbolLost));
        Label14->setText(Caption(PacketErrorRow::SyncLost, c.SyncLost));
    }
    Label10->setVisible(driver);
    StaticEr->setVisible(driver);
    EnableParityRow(driver ? parityChosen : testRunning);
    for (QLabel* cell : {StaticPa, StaticOv, StaticFE, StaticEr})
        SetBackground(*cell, FaceColour(*cell));
}

void ErrorPanel::ShowEvent(QLabel& cell, QLabel& label, bool occurred, const QString& text) {
    if (occurred) {
        label.setText(text);
        SetBackground(cell, kRed);
    } else {
        SetBackground(cell, FaceColour(cell));
    }
}

void ErrorPanel::ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                                 std::uint32_t errorMask) {
    // A present error is counted in either view but shown only in the driver-error view.
    const bool show = occurred && m_showDriverErrors;
    if (occurred && !show) return;
    // An event shows its count even when it is 0.
    const QString text = QString::fromLatin1(DriverErrorCaption(row)) + QStringLiteral(" = ") +
                         QString::number(count);
    // In the order of DriverErrorRow: the cell and the caption of its row.
    const std::pair<QLabel*, QLabel*> rows[] = {
        {StaticEr, Label10}, {StaticPa, Label9}, {StaticOv, Label13}, {StaticFE, Label14}};
    const auto [cell, caption] = rows[static_cast<int>(row)];
    ShowEvent(*cell, *caption, show, text);
    if (show && row == DriverErrorRow::Other)
        Label12->setText(QStringLiteral("$%1").arg(errorMask, 4, 16, QChar(u'0')).toUpper());
}

void ErrorPanel::ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) {
    if (m_showDriverErrors) return;
    const QString text = Caption(row, count);
    // In the order of PacketErrorRow: the driver-error rows each one takes over.
    const std::pair<QLabel*, QLabel*> rows[] = {
        {StaticFE, Label14}, {StaticPa, Label9}, {StaticOv, Label13}};
    const auto [cell, caption] = rows[static_cast<int>(row)];
    ShowEvent(*cell, *caption, occurred, text);
}

void ErrorPanel::EnableParityRow(bool on) {
    Label9->setEnabled(on);
    SetErrorCellActive(*StaticPa, on);
}

void ErrorPanel::EnableOtherRows(bool on) {
    for (QLabel* label : {Label10, Label13, Label14}) label->setEnabled(on);
    for (QLabel* cell : {StaticEr, StaticOv, StaticFE}) SetErrorCellActive(*cell, on);
}

}  // namespace kvartix
