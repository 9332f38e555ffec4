#pragma once

// Windows laid out as their tables of pixels say: one row per control, each bound to the
// window's member of the same name.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "components/KivTLeds.h"

namespace kvartix::layout {

enum class Kind { Group, EditCombo, ListCombo, Radio, Check, Button, Strip, Label, Led, Edit, Cell };

template <class Form>
struct Place {
    Kind kind;
    QWidget* (*bind)(Form&, QWidget*);  // creates nothing: stores the control in its member
    const char* name;
    QGroupBox* Form::*owner;       // nullptr: the client area
    int left, top, width, height;  // width 0: as wide as the caption
    const char* caption;
};

template <class T>
QWidget* Bound(T*& member, QWidget* created) {
    // The row's kind makes a widget of the member's class; a row that does not is a fault in
    // the table, found at the first start.
    member = dynamic_cast<T*>(created);
    if (!member)
        qFatal("layout: %s is not the class of its member", qPrintable(created->objectName()));
    return created;
}

template <auto Member, class Form>
QWidget* Bind(Form& form, QWidget* created) {
    return Bound(form.*Member, created);
}

template <auto Array, int Index, class Form>
QWidget* BindAt(Form& form, QWidget* created) {
    return Bound((form.*Array)[Index], created);
}

QWidget* Create(Kind kind, const QString& caption, QWidget* owner);

// Every row in order: a group comes before what it holds.
template <class Form, std::size_t N>
void Build(Form& form, const Place<Form> (&places)[N], QWidget* client) {
    for (const Place<Form>& p : places) {
        QWidget* owner = p.owner ? form.*p.owner : client;
        if (!owner) qFatal("layout: %s comes before its group", p.name);
        QWidget* w = Create(p.kind, QString::fromUtf8(p.caption), owner);
        w->setObjectName(QString::fromLatin1(p.name));
        p.bind(form, w);
        // A screen reader names a group by its own caption, not by the group around it.
        if (p.kind == Kind::Group) w->setAccessibleName(QString::fromUtf8(p.caption));
        w->move(p.left, p.top);
        w->resize(p.width > 0 ? p.width : w->sizeHint().width(), p.height);
    }
}

}  // namespace kvartix::layout
