#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace kvartix {

class TKivCommandLabel;
class TKivLabel;

// The start-up window: the program's name and version, the maker, the logo, the links and the
// "Start" button that hands over to the main window. Once started it stays hidden.
class TForm2 : public QWidget {
  public:
    static constexpr int kWidth = 390;
    static constexpr int kHeight = 399;

    // mainWindow: shown by "Start"; not owned.
    explicit TForm2(QWidget* mainWindow, QWidget* parent = nullptr);

    // Called when the window is closed before "Start": the caller ends the program without
    // saving anything (QCoreApplication::exit closes no other window).
    void SetOnCloseBeforeStart(std::function<void()> handler) {
        m_onCloseBeforeStart = std::move(handler);
    }
    bool Started() const { return m_started; }

    void BitBtn1Click();

    TKivLabel* KivLabel1;
    TKivLabel* KivLabel6;
    QLabel* Image1;
    TKivLabel* KivLabel2;
    TKivLabel* KivLabel4;
    TKivCommandLabel* KivCommandLabel1;
    TKivLabel* KivLabel5;
    TKivCommandLabel* KivCommandLabel2;
    TKivLabel* KivLabel3;
    TKivCommandLabel* KivCommandLabel3;
    QPushButton* Button1;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* m_mainWindow;
    std::function<void()> m_onCloseBeforeStart;
    bool m_started = false;
};

}  // namespace kvartix
