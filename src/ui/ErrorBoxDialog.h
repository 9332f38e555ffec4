#pragma once

#include <QString>
#include <functional>

namespace kvartix {

// The program's own message: an application-modal box, caption "KVARTIX ", one OK button, the
// error icon or none. The caller waits until it is dismissed.
void ShowErrorBox(const QString& text, bool errorIcon);

// Replaces what shows the message and returns the one it replaced; an empty function restores
// the message box. Tests record instead of showing.
using ErrorBoxPresenter = std::function<void(const QString& text, bool errorIcon)>;
ErrorBoxPresenter SetErrorBoxPresenter(ErrorBoxPresenter presenter);

// A yes-or-no question in the same kind of box, question icon, "No" the default; true for yes.
bool AskQuestion(const QString& text);

// Replaces what asks the question, as SetErrorBoxPresenter does for the message.
using QuestionPresenter = std::function<bool(const QString& text)>;
QuestionPresenter SetQuestionPresenter(QuestionPresenter presenter);

}  // namespace kvartix
