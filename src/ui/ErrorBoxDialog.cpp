#include "ui/ErrorBoxDialog.h"

#include <QMessageBox>
#include <utility>

namespace kvartix {
namespace {

// Main thread only, like every window.
ErrorBoxPresenter& Presenter() {
    static ErrorBoxPresenter presenter;
    return presenter;
}

QuestionPresenter& Questioner() {
    static QuestionPresenter presenter;
    return presenter;
}

}  // namespace

void ShowErrorBox(const QString& text, bool errorIcon) {
    if (Presenter()) {
        Presenter()(text, errorIcon);
        return;
    }
    // No owner window; application-modal, so no start or stop runs while it is open.
    QMessageBox box(errorIcon ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QStringLiteral("KVARTIX "), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

ErrorBoxPresenter SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

bool AskQuestion(const QString& text) {
    if (Questioner()) return Questioner()(text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("KVARTIX "), text,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

QuestionPresenter SetQuestionPresenter(QuestionPresenter presenter) {
    return std::exchange(Questioner(), std::move(presenter));
}

}  // namespace kvartix
