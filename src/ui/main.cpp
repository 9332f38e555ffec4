// kvartix: the serial port tester.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/SettingsFile.h"
#include "app/SignalName.h"
#include "serial/PortDiscovery.h"
#include "ui/ErrorBoxDialog.h"
#include "ui/MissingFaces.h"
#include "ui/TerminationSignal.h"
#include "ui/Umain.h"
#include "ui/WindowFont.h"
#include "ui/forms/Uhelp.h"
#include "ui/forms/Umorvi.h"
#include "ui/forms/Uterm.h"

int main(int argc, char** argv) {
    using namespace kvartix;
    // Initialise the application; pixel sizes keep the fixed layouts off the screen's DPI.
    QApplication app(argc, argv);
    app.setFont(WindowFont());
    WarnOfMissingWindowFaces();
    // The windows end the program themselves: the main window's close after its save, the
    // start-up window's close before "Start" without one.
    app.setQuitOnLastWindowClosed(false);

    // This run's settings file, read once: "Plus" says whether the start-up window is wanted.
    // A file that is there but cannot be read gives the defaults and is left alone.
    SettingsLocation where = RunningSettingsLocation(argc > 1 ? argv[1] : "");
    const SettingsAtStart start = ReadSettingsAtStart(where.Path);
    where.LeaveAlone = !start.Problem.empty();

    // The main window: its settings, the ports that open now with the saved one preselected.
    const PortList ports = DiscoverSystemPorts(start.Settings.Port);
    TForm1 form(ports.Names, ports.Preselected);
    form.ShowPortInfo(ports.Info);
    form.LoadSettings(where, start.Settings);
    if (!form.Usable()) return 1;  // its transfer events failed, and it said so

    // The start-up window, unless "Plus" is set; closing it before "Start" saves nothing.
    std::unique_ptr<TForm2> startup;
    if (!start.Plus) {
        startup = std::make_unique<TForm2>(&form);
        startup->SetOnCloseBeforeStart([] { QCoreApplication::exit(0); });
    }

    // The terminal and help windows, after the main window whose settings they share.
    TFterm terminal(form.Core().TerminalTxText);
    terminal.FormCreate(SettingsName(where.Path, kNativePathStyle), start.Settings);
    TFhelp help(&form);
    form.AttachWindows(&terminal, &help);

    // A termination signal ends the program whatever is open, a message box included: the
    // settings saved as the main window's close saves them (nothing to save before "Start"),
    // or, when that save cannot be made, the reason on standard error and 128 + the signal.
    OnTerminationSignal(&form, [&form, &startup, &where](int signal) {
        int status = 0;
        if (!startup || startup->Started()) {
            form.StopSession();
            if (const auto problem = SaveSettingsFile(where, form.CollectSettings())) {
                std::fprintf(stderr, "kvartix: %s: the settings were not saved: %s\n",
                             SignalName(signal).c_str(), problem->c_str());
                status = 128 + signal;
            }
        }
        QCoreApplication::exit(status);  // every event loop, a message box's too
    });

    // The message loop, from the first window; a settings file that could not be read is
    // reported over it, and on standard error.
    if (startup)
        startup->show();
    else
        form.show();
    if (!start.Problem.empty()) {
        std::fprintf(stderr, "kvartix: %s\n", start.Problem.c_str());
        QTimer::singleShot(0, &form, [&start] {
            ShowErrorBox(QString::fromStdString(start.Problem), true);
        });
    }
    return app.exec();
}
