#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include "ui/forms/HelpText.h"
#include "ui/forms/Uhelp.h"

namespace kvartix {
namespace {

TEST(HelpWindow, shows_the_programs_help_text_unchanged_in_thirty_two_lines) {
    TFhelp help;
    const QString shown = help.Memo1->toPlainText();
    EXPECT_EQ(shown, HelpText());
    EXPECT_EQ(shown.split(u'\n').size(), 32);
    EXPECT_TRUE(shown.startsWith(QStringLiteral(" \nпортам.\n"))) << shown.left(20).toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("элементам управления программой.")));
    // The memo is the text, not a picture of it: a reader can select and copy every line.
    EXPECT_TRUE(help.Memo1->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST(HelpWindow, shows_all_the_text_without_scrolling) {
    TFhelp help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    EXPECT_EQ(help.size(), QSize(TFhelp::kWidth, TFhelp::kHeight));
    EXPECT_EQ(help.Memo1->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(help.Memo1->isReadOnly());
    const QSizeF text = help.Memo1->document()->size();
    EXPECT_LE(text.height(), help.Memo1->viewport()->height());
    EXPECT_LE(text.width(), help.Memo1->viewport()->width());
}

}  // namespace
}  // namespace kvartix
