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
    QWidget* (*make)(Form&, QWidget*);  // creates the control in its member, in its owner
    const char* name;
    QGroupBox* Form::*owner;       // nullptr: the client area
    int left, top, width, height;  // width 0: as wide as the caption
    const char* caption;
};

// The control is of its member's class.
template <class T>
QWidget* Made(T*& member, QWidget* owner) {
    return member = new T(owner);
}

template <auto Member, class Form>
QWidget* Make(Form& form, QWidget* owner) {
    return Made(form.*Member, owner);
}

template <auto Array, int Index, class Form>
QWidget* MakeAt(Form& form, QWidget* owner) {
    return Made((form.*Array)[Index], owner);
}

// The caption, and what the kind adds to its class: an editable list, a sunken cell.
void Dress(QWidget& control, Kind kind, const QString& caption);

// Every row in order: a group comes before what it holds.
template <class Form, std::size_t N>
void Build(Form& form, const Place<Form> (&places)[N], QWidget* client) {
    for (const Place<Form>& p : places) {
        QWidget* owner = p.owner ? form.*p.owner : client;
        if (!owner) qFatal("layout: %s comes before its group", p.name);
        QWidget* w = p.make(form, owner);
        w->setObjectName(QString::fromLatin1(p.name));
        Dress(*w, p.kind, QString::fromUtf8(p.caption));
        w->move(p.left, p.top);
        w->resize(p.width > 0 ? p.width : w->sizeHint().width(), p.height);
    }
}

}  // namespace kvartix::layout
