#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "components/ApplicationErrorReport.h"

namespace kvartix {
namespace {

TEST(ApplicationErrorReport, shows_a_modal_error_box_titled_with_the_application_title) {
    SetApplicationTitle("KVARTIX line2");
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->done(QMessageBox::Ok);
    });
    poll.start(5);
    ReportApplicationError("'12a' is not a valid integer value");
    EXPECT_EQ(title, "KVARTIX line2");
    EXPECT_EQ(text, "'12a' is not a valid integer value.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST(ApplicationErrorReport, adds_a_full_stop_only_where_there_is_none) {
    EXPECT_EQ(ApplicationErrorText("Disk full"), "Disk full.");
    EXPECT_EQ(ApplicationErrorText("Disk full."), "Disk full.");
    EXPECT_EQ(ApplicationErrorText(""), "");
}

}  // namespace
}  // namespace kvartix
