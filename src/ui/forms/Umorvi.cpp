#include "ui/forms/Umorvi.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "components/KivTCommandLabel.h"
#include "components/KivTLabel.h"
#include "ui/forms/FormFonts.h"
#include "ui/forms/Logo.h"

namespace kvartix {
namespace {

const QString kWebAddress = QStringLiteral("http://www.example.com");
const QString kMakerMail = QStringLiteral("info@example.com");
const QString kAuthorMail = QStringLiteral("author@example.com");
const QString kAuthor = QStringLiteral("KVARTIX team");

TKivLabel* Styled(QWidget* parent, const QRect& bounds, const QString& text, int pixelSize,
                  Qt::Alignment alignment) {
    auto* label = new TKivLabel(parent);
    label->setGeometry(bounds);
    label->setFont(FormFont(pixelSize, true));
    label->setAlignment(alignment | Qt::AlignTop);
    label->setText(text);
    return label;
}

// Sized to its text, as a plain label is.
TKivCommandLabel* Link(QWidget* parent, const QPoint& at, const QString& text,
                       TKivCommand command) {
    auto* label = new TKivCommandLabel(parent);
    QFont font = FormFont(16, false, true);
    font.setUnderline(true);
    label->setFont(font);
    label->SetCommand(command);
    label->setText(text);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

TForm2::TForm2(QWidget* mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow) {
    setWindowTitle(QStringLiteral("Async Serial Test"));
    setFixedSize(kWidth, kHeight);
    setFont(FormFont(11));

    // Top to bottom, as the window is read.
    KivLabel1 =
        Styled(this, {24, 8, 353, 25}, QStringLiteral("KVARTIX    V1.08"), 19, Qt::AlignHCenter);
    KivLabel6 = Styled(this, {56, 64, 177, 33}, QStringLiteral("Morvi"), 32, Qt::AlignLeft);
    Image1 = new QLabel(this);
    Image1->setPixmap(KvartixLogo());
    Image1->setGeometry(QRect(QPoint(256, 32), Image1->pixmap().size()));
    KivLabel2 = Styled(this, {8, 144, 377, 89},
                       QStringLiteral("Телекоммуникационное оборудование:\n\n"
                                      "модемы для физических линий\n"
                                      "конвертеры интерфейсов ...\n"),
                       16, Qt::AlignHCenter);
    KivLabel4 = Styled(this, {56, 240, 65, 17}, QStringLiteral("WEB:"), 16, Qt::AlignRight);
    KivCommandLabel1 = Link(this, {128, 240}, kWebAddress, TKivCommand::runURL);
    KivLabel5 = Styled(this, {64, 264, 65, 17}, QStringLiteral("EMail:"), 16, Qt::AlignRight);
    KivCommandLabel2 = Link(this, {144, 264}, kMakerMail, TKivCommand::runMAIL);
    KivLabel3 =
        Styled(this, {16, 312, 217, 25}, QStringLiteral("Автор : ") + kAuthor, 16, Qt::AlignRight);
    KivCommandLabel3 = Link(this, {240, 312}, kAuthorMail, TKivCommand::runMAIL);
    Button1 = new QPushButton(QStringLiteral("Start"), this);
    Button1->setGeometry(160, 360, 75, 25);
    Button1->setFocus();  // the only control that takes the keyboard
    // Return and Enter press the focused button, as Space does (a push button outside a
    // dialog takes only Space unless it is told).
    Button1->setAutoDefault(true);

    connect(Button1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
}

void TForm2::BitBtn1Click() {
    m_started = true;
    if (m_mainWindow) m_mainWindow->show();
    hide();
}

void TForm2::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_started && m_onCloseBeforeStart) m_onCloseBeforeStart();
}

}  // namespace kvartix
