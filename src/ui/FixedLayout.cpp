#include "ui/FixedLayout.h"

namespace kvartix::layout {

void Dress(QWidget& control, Kind kind, const QString& caption) {
    if (auto* group = qobject_cast<QGroupBox*>(&control)) {
        group->setTitle(caption);
        // A screen reader names a group by its own caption, not by the group around it.
        group->setAccessibleName(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        button->setText(caption);
    } else if (auto* label = qobject_cast<QLabel*>(&control)) {
        label->setText(caption);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
        edit->setText(caption);
    }
    if (kind == Kind::EditCombo) {
        auto& box = static_cast<QComboBox&>(control);
        box.setEditable(true);
        box.setInsertPolicy(QComboBox::NoInsert);
    }
    if (kind == Kind::Cell || kind == Kind::Strip) {
        auto& cell = static_cast<QLabel&>(control);
        cell.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        cell.setAlignment(Qt::AlignCenter);
        cell.setAutoFillBackground(true);
    }
}

}  // namespace kvartix::layout
