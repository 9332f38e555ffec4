// kvartix: the serial port tester's main window.
#include <QApplication>
#include <QFont>

#include "serial/PortDiscovery.h"
#include "ui/Umain.h"
#include "ui/WindowFont.h"
#ifdef __linux__
#include "serial/PosixSys.h"
#include "serial/SystemDeviceTable.h"
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Pixel sizes, so that the fixed layout does not move with the screen's DPI.
    app.setFont(kvartix::WindowFont());
    app.setApplicationDisplayName(QStringLiteral("KVARTIX default"));

    // The ports that open now; the first is preselected until the settings file names one.
#ifdef __linux__
    kvartix::SystemDeviceTable table(kvartix::SystemCalls());
    const kvartix::PortList ports = kvartix::DiscoverPorts(table, "");
#else
    const kvartix::PortList ports{{"LOOP"}, "LOOP"};
#endif

    kvartix::TForm1 form(ports.Names, ports.Preselected);
    if (!form.Usable()) return 1;
    form.show();
    return app.exec();
}
