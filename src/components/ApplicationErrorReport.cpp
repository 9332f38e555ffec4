#include "components/ApplicationErrorReport.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <utility>

namespace kvartix {
namespace {

// Set and used on the main thread only, like every window.
ApplicationErrorReporter& Reporter() {
    static ApplicationErrorReporter reporter;
    return reporter;
}

QString& Title() {
    static QString title = QStringLiteral("KVARTIX");
    return title;
}

void ShowMessageBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, Title(), text, QMessageBox::Ok);
    box.exec();
}

}  // namespace

void SetApplicationTitle(const QString& title) { Title() = title; }

QString ApplicationTitle() { return Title(); }

QString ApplicationErrorText(const QString& text) {
    if (text.isEmpty() || text.endsWith(u'.')) return text;
    return text + u'.';
}

void ReportApplicationError(const QString& text) {
    const QString shown = ApplicationErrorText(text);
    if (Reporter())
        Reporter()(shown);
    else
        ShowMessageBox(shown);
}

ApplicationErrorReporter SetApplicationErrorReporter(ApplicationErrorReporter reporter) {
    return std::exchange(Reporter(), std::move(reporter));
}

}  // namespace kvartix
