// The main window's cost while a BERT at 460800 bit/s runs on LOOP, off screen: the CPU of the
// whole process as a share of one core, and per tick the main thread's time in the handler and
// its CPU over the whole cycle (handler, repaints, event handling), median and 99th percentile.
// Usage: bench_window [seconds [port [xon-xoff] [random]]], 30 s on LOOP by default; a soak
// prints the received count once a minute, so a run that stops counting shows.
#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "ui/Umain.h"
#include "ui/WindowFont.h"

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double ProcessCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) * 1e3 + static_cast<double>(v.tv_usec) / 1e3;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

double WallMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(kvartix::WindowFont());
    const int seconds = argc > 1 ? std::stoi(argv[1]) : 30;

    const QStringList options = app.arguments().mid(3);
    kvartix::TForm1 form({"LOOP"}, "LOOP");
    form.show();
    form.ComboBox2->setEditText("460800");
    if (argc > 2) form.ComboBox1->setEditText(QString::fromLocal8Bit(argv[2]));
    form.CheckSoft->setChecked(options.contains("xon-xoff"));
    form.RadioRF2->setChecked(options.contains("random"));
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        std::printf("%s  received %s  errors %s  XR %s\n",
                    form.StaticS3->text().toStdString().c_str(),
                    form.StaticS0->text().toStdString().c_str(),
                    form.StaticS4->text().toStdString().c_str(),
                    form.LedXR->LedisOn() ? "on" : "off");
        std::fflush(stdout);
    });
    minute.start(60'000);

    std::vector<double> handlerMs, cycleCpuMs;
    double lastCycleCpu = -1;
    const kvartix::TNotifyEvent handler = form.Timer1->OnTimer();
    form.Timer1->SetOnTimer([&](QObject* sender) {
        const double cpu = ThreadCpuMs();
        if (lastCycleCpu >= 0) cycleCpuMs.push_back(cpu - lastCycleCpu);
        lastCycleCpu = cpu;
        const double start = WallMs();
        handler(sender);
        handlerMs.push_back(WallMs() - start);
    });

    // The first second (start-up, first paints) is left out of the figures.
    form.Button1Click(form.Button3);
    QTimer::singleShot(1000, [&] {
        handlerMs.clear();
        cycleCpuMs.clear();
    });
    const double cpu0 = ProcessCpuMs(), wall0 = WallMs();
    QTimer::singleShot((seconds + 1) * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = ProcessCpuMs() - cpu0, wall = WallMs() - wall0;
    form.StopSession();

    std::printf("BERT on %s at 460800 bit/s for %d s: received %s, errors %s\n",
                form.ComboBox1->currentText().toStdString().c_str(), seconds,
                form.StaticS0->text().toStdString().c_str(),
                form.StaticS4->text().toStdString().c_str());
    std::printf("ticks                     %zu\n", handlerMs.size());
    std::printf("process CPU               %.2f %% of one core\n", 100.0 * cpu / wall);
    std::printf("tick handler (wall)       median %.3f ms, p99 %.3f ms\n",
                Percentile(handlerMs, 0.5), Percentile(handlerMs, 0.99));
    std::printf("main thread CPU per cycle median %.3f ms, p99 %.3f ms\n",
                Percentile(cycleCpuMs, 0.5), Percentile(cycleCpuMs, 0.99));
    return 0;
}
