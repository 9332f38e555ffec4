#pragma once

#include <QDialog>

class QTextEdit;

namespace kvartix {

// The help window: a fixed text, read only, shown modally over the main window.
class TFhelp : public QDialog {
  public:
    static constexpr int kWidth = 536;
    static constexpr int kHeight = 412;

    explicit TFhelp(QWidget* parent = nullptr);

    // Returns when the user closes the window.
    void ShowModal() { exec(); }

    QTextEdit* Memo1;
};

}  // namespace kvartix
