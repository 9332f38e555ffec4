#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThreadPool>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "components/ApplicationErrorReport.h"
#include "support/EventLoop.h"
#include "ui/ErrorBoxDialog.h"
#include "ui/Umain.h"
#include "ui/WindowFont.h"

namespace kvartix::test {

// A test name made of any text: letters and digits kept, the rest underscores.
inline std::string Identifier(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return text.empty() ? "empty" : text;
}

// A main window on LOOP whose messages are recorded instead of shown.
class WindowRig : public ::testing::Test {
  protected:
    void SetUp() override {
        qApp->setFont(WindowFont());
        // Qt paints large pixmaps in pieces on its thread pool; with one pool thread the pieces
        // never meet in Qt's uninstrumented code, where the thread sanitizer cannot see the
        // hand-over and would report them.
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        m_oldBox = SetErrorBoxPresenter([this](const QString& text, bool icon) {
            Boxes.push_back({text.toStdString(), icon});
        });
        m_oldReport = SetApplicationErrorReporter(
            [this](const QString& text) { Reports.push_back(text.toStdString()); });
        form = std::make_unique<TForm1>(std::vector<std::string>{"LOOP"}, "LOOP");
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        form.reset();
        SetErrorBoxPresenter(m_oldBox);
        SetApplicationErrorReporter(m_oldReport);
    }

    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    void StartBert() {
        Click(form->Button3);
        ASSERT_TRUE(form->Session().Running());
    }
    // Runs the window's event loop, and so its timer, until the statistics update n times.
    void RunSeconds(int n) {
        const QString first = form->StaticS3->text();
        int seen = 0;
        QString last = first;
        RunEventsUntil(
            [&] {
                if (form->StaticS3->text() != last) ++seen, last = form->StaticS3->text();
                return seen >= n;
            },
            (n + 1) * 1000 + 500);
    }
    static QColor Background(const QWidget* w) { return w->palette().color(QPalette::Window); }
    QColor Face() const { return form->palette().color(QPalette::Button); }

    struct Box {
        std::string Text;
        bool Icon;
        bool operator==(const Box&) const = default;
    };
    std::vector<Box> Boxes;
    std::vector<std::string> Reports;
    std::unique_ptr<TForm1> form;

  private:
    ErrorBoxPresenter m_oldBox;
    ApplicationErrorReporter m_oldReport;
};

}  // namespace kvartix::test
