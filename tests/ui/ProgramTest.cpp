// The program itself, started as a user starts it: its settings file at start and at the end,
// and the signals that end it.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>

#include "support/EventLoop.h"
#include "support/QtFiles.h"

namespace kvartix::test {
namespace {

// Whether the process has its SIGTERM handler in place yet (its start-up is done).
bool CatchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> 14) & 1;
    return false;
}

constexpr uid_t kNobody = 65534;
bool RunningAsRoot() { return ::geteuid() == 0; }

// The program on a settings file, off screen. An ordinary user's run is nobody's when the
// tests run as root, who may read and write any file.
class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        // Nobody has to reach the files.
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    }
    void Start(const QString& file, bool ordinaryUser = false) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        if (ordinaryUser && RunningAsRoot())
            process.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 ||
                    ::setuid(kNobody) != 0)
                    ::_exit(100);
            });
        process.start(KVARTIX_PROGRAM, {file});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(RunEventsUntil([this] { return CatchesSigterm(process.processId()); }, 30000))
            << "the program never got ready for the signal";
    }
    // The signal, and what the program did: its exit status (-1 when it did not end in time).
    int EndBy(int signal) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    std::string Errors() { return process.readAllStandardError().toStdString(); }
    // Gives the file to nobody when the tests run as root, with the mode.
    static void Own(const QString& path, mode_t mode) {
        const QByteArray name = QFile::encodeName(path);
        if (RunningAsRoot()) {
            ASSERT_EQ(::chown(name.constData(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(::chmod(name.constData(), mode), 0);
    }

    QTemporaryDir dir;
    QString file = dir.filePath("line2.ini");
    QProcess process;
};

class ProgramSignal : public Program, public testing::WithParamInterface<int> {};

// A termination signal closes the program as the close of its main window does, settings
// saved; the terminal it was started from closing (SIGHUP) too.
TEST_P(ProgramSignal, saves_the_settings_and_ends_it) {
    WriteAll(file, "[Morvi]\nPlus=1\n[Parameters]\nBitRate=9600\n");
    Start(file);
    EXPECT_EQ(EndBy(GetParam()), 0);
    EXPECT_NE(ReadAll(file).find("[Program]\n"), std::string::npos);
    EXPECT_NE(ReadAll(file).find("BitRate=9600\n"), std::string::npos);
}

// A save that cannot be made does not hold the program: it says so and ends, 128 + signal.
TEST_P(ProgramSignal, ends_it_with_the_reason_when_the_save_is_refused) {
    const std::string before = "[Morvi]\nPlus=1\n[Parameters]\nBitRate=9600\n";
    WriteAll(file, before);
    Own(file, 0444);
    Start(file, true);
    EXPECT_EQ(EndBy(GetParam()), 128 + GetParam());
    EXPECT_NE(Errors().find(": the settings were not saved: Unable to write to " +
                            file.toStdString() + "."),
              std::string::npos);
    EXPECT_EQ(ReadAll(file), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) {
                             return info.param == SIGTERM  ? std::string("SIGTERM")
                                    : info.param == SIGINT ? std::string("SIGINT")
                                                           : std::string("SIGHUP");
                         });

// Whatever is at the path, the start goes on with the defaults and says why; the message box
// does not keep a signal from ending the program, and nothing replaces what is there.
TEST_F(Program, a_settings_file_that_cannot_be_read_is_reported_and_left_alone) {
    namespace fs = std::filesystem;
    const std::string base = dir.path().toStdString();
    fs::create_directory(base + "/folder.ini");
    ASSERT_EQ(::mkfifo((base + "/fifo.ini").c_str(), 0644), 0);
    WriteAll(file, "[Mine]\nkept=1\n[Morvi]\nPlus=1\n");
    Own(file, 0200);  // its owner may write it, not read it
    const struct {
        std::string Path;
        std::string Problem;
    } cases[] = {
        {base + "/folder.ini", "is a folder"},
        {base + "/fifo.ini", "is not a regular file"},
        {file.toStdString(), "cannot be read (Permission denied)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const auto type = fs::symlink_status(c.Path).type();
        Start(QString::fromStdString(c.Path), true);
        const std::string message = "kvartix: The settings file " + c.Path + " " + c.Problem +
                                    ". The program runs with the default settings and leaves "
                                    "the file as it is: they are not saved at the close.\n";
        std::string said;  // Qt may say things of its own
        RunEventsUntil(
            [&] {
                said += Errors();
                return said.find(message) != std::string::npos;
            },
            10000);
        EXPECT_NE(said.find(message), std::string::npos) << said;
        EXPECT_EQ(EndBy(SIGTERM), 0);
        EXPECT_EQ(fs::symlink_status(c.Path).type(), type);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_EQ(ReadAll(file), "[Mine]\nkept=1\n[Morvi]\nPlus=1\n");
}

// Two copies at once, each on its own file, each closed by a termination signal as a
// desktop logout would close it.
TEST(TwoCopies, each_keeps_its_own_settings_file) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.ini"), b = dir.filePath("b.ini");
    WriteAll(a, "[Morvi]\r\nPlus=1\r\n[Parameters]\r\nBitRate=9600\r\n");
    WriteAll(b, "[Morvi]\nPlus=1\n[Parameters]\nBitRate=57600\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first, second;
    for (auto [p, file] : {std::pair{&first, a}, std::pair{&second, b}}) {
        p->setProcessEnvironment(env);
        p->start(KVARTIX_PROGRAM, {file});
    }
    ASSERT_TRUE(first.waitForStarted() && second.waitForStarted());
    for (QProcess* p : {&first, &second})
        ASSERT_TRUE(RunEventsUntil([p] { return CatchesSigterm(p->processId()); }, 30000))
            << "the program never got ready for the signal";
    first.terminate();
    second.terminate();
    ASSERT_TRUE(first.waitForFinished(10000) && second.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_NE(ReadAll(a).find("[Program]\r\n"), std::string::npos) << "saved, CRLF kept";
    EXPECT_NE(ReadAll(a).find("BitRate=9600\r\n"), std::string::npos);
    EXPECT_NE(ReadAll(b).find("[Program]\n"), std::string::npos);
    EXPECT_NE(ReadAll(b).find("BitRate=57600\n"), std::string::npos);
}

}  // namespace
}  // namespace kvartix::test
