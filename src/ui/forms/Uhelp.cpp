#include "ui/forms/Uhelp.h"

#include <QFontMetrics>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "ui/forms/FormFonts.h"
#include "ui/forms/HelpText.h"

namespace kvartix {

TFhelp::TFhelp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      Memo1(new QTextEdit(this)) {
    setWindowTitle(QStringLiteral("Help kvartix"));
    setFixedSize(kWidth, kHeight);
    setFont(FormFont(11));
    Memo1->setGeometry(0, 0, kWidth, kHeight);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setPlainText(HelpText());
    // Lines the font's own line spacing apart: the layout would round each line up a pixel,
    // and the last lines would not fit.
    QTextBlockFormat spacing;
    spacing.setLineHeight(QFontMetrics(font()).lineSpacing(), QTextBlockFormat::FixedHeight);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(spacing);
}

}  // namespace kvartix
