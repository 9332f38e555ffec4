#include "ui/FixedLayout.h"

namespace kvartix::layout {

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

}  // namespace kvartix::layout
