#pragma once

#include <QString>
#include <functional>

namespace kvartix {

// The application's default error report: an error the program did not handle itself, shown
// as a message box with the application title, the error icon and the text with a full stop.
void ReportApplicationError(const QString& text);

// Replaces what shows the report (it receives the text with its full stop) and returns the
// one it replaced; an empty function restores the message box. Tests record instead of showing.
using ApplicationErrorReporter = std::function<void(const QString& text)>;
ApplicationErrorReporter SetApplicationErrorReporter(ApplicationErrorReporter reporter);

// The application title ("KVARTIX " and the settings name): the report's caption. Qt's own
// display name is left unset, since Qt would append it to every other window's caption.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

// The report's text: a full stop is added unless the text already ends with one.
QString ApplicationErrorText(const QString& text);

}  // namespace kvartix
