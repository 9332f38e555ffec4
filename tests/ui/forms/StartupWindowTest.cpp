#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "components/KivTCommandLabel.h"
#include "ui/forms/Umorvi.h"

namespace kvartix {
namespace {

// Stands in for the main window: counts the close requests that would save the settings.
class MainProbe : public QWidget {
  public:
    int closes = 0;

  protected:
    void closeEvent(QCloseEvent* event) override {
        ++closes;
        event->accept();
    }
};

class StartupWindow : public ::testing::Test {
  protected:
    StartupWindow() {
        form.SetOnCloseBeforeStart([this] { ++endRequests; });
        form.show();
    }

    MainProbe main;
    TForm2 form{&main};
    int endRequests = 0;
};

TEST_F(StartupWindow, start_shows_the_main_window_and_hides_for_good) {
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.Started());
    form.close();  // as the program's end does to every window
    EXPECT_EQ(endRequests, 0);
}

TEST_F(StartupWindow, closing_before_start_ends_the_program_without_the_main_window) {
    form.close();
    EXPECT_EQ(endRequests, 1);
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.closes, 0);
}

// The focused "Start" answers every key that presses a button.
class StartupWindowKey : public StartupWindow, public testing::WithParamInterface<Qt::Key> {};

TEST_P(StartupWindowKey, presses_the_focused_start) {
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(form.Button1->hasFocus());
    QTest::keyClick(form.Button1, GetParam());
    EXPECT_TRUE(form.Started());
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(form.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Keys, StartupWindowKey,
                         testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space));

// Ink of the label's text that falls outside the label: its text drawn unclipped on a larger
// transparent canvas.
int InkOutside(const QLabel& label) {
    constexpr int pad = 20;
    QImage canvas(label.size() + QSize(2 * pad, 2 * pad), QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setFont(label.font());
    const QRect box(QPoint(pad, pad), label.size());
    painter.drawText(box, static_cast<int>(label.alignment()) | Qt::TextDontClip, label.text());
    painter.end();
    int outside = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (qAlpha(canvas.pixel(x, y)) != 0 && !box.contains(x, y)) ++outside;
    return outside;
}

TEST_F(StartupWindow, every_text_fits_its_control_and_the_window) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(TForm2::kWidth, TForm2::kHeight));
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_TRUE(form.rect().contains(label->geometry()));
        EXPECT_EQ(InkOutside(*label), 0);
    }
    EXPECT_TRUE(form.rect().contains(form.Button1->geometry()));
}

TEST_F(StartupWindow, links_open_the_web_address_and_mail_addresses) {
    const auto target = [](const TKivCommandLabel* l) {
        return KivCommandTarget(l->Command(), l->text()).toStdString();
    };
    EXPECT_EQ(target(form.KivCommandLabel1), "http://www.example.com");
    EXPECT_EQ(target(form.KivCommandLabel2), "mailto:info@example.com");
    EXPECT_EQ(target(form.KivCommandLabel3), "mailto:author@example.com");
}

}  // namespace
}  // namespace kvartix
