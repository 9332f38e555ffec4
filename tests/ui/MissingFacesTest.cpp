#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>
#include <sstream>

#include "support/EventLoop.h"
#include "ui/MissingFaces.h"
#include "ui/WindowFont.h"
#include "ui/forms/FormFonts.h"

namespace kvartix::test {
namespace {

TEST(MissingFaces, none_where_fonts_liberation_and_dejavu_are_installed) {
    EXPECT_EQ(MissingFaces({WindowFont(), FormFont(16, true), FormFont(16, false, true),
                            QFont(QStringLiteral("DejaVu Sans"))}),
              QStringList{});
}

TEST(MissingFaces, a_face_the_system_lacks_is_named_once) {
    const QFont absent(QStringLiteral("Kvartix Absent Sans"));
    EXPECT_EQ(MissingFaces({absent, WindowFont(), absent}),
              QStringList{QStringLiteral("Kvartix Absent Sans")});
}

TEST(MissingFaces, a_stand_in_of_the_fonts_own_list_counts_as_present) {
    EXPECT_EQ(MissingFaces({QFont(QStringList{QStringLiteral("Kvartix Absent Sans"),
                                              QStringLiteral("Liberation Sans")})}),
              QStringList{});
    EXPECT_EQ(MissingFaces({QFont(QStringList{QStringLiteral("Kvartix Absent Sans"),
                                              QStringLiteral("Kvartix Absent Serif")})}),
              QStringList{QStringLiteral("Kvartix Absent Sans")});
}

TEST(MissingFacesWarning, is_one_line_naming_the_faces_and_the_packages) {
    EXPECT_EQ(MissingFacesWarning({}), "");
    const std::string line = MissingFacesWarning(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Liberation Sans Narrow")});
    EXPECT_EQ(line.find("Liberation Sans, Liberation Sans Narrow"), line.find("Liberation"));
    EXPECT_NE(line.find("fonts-liberation and fonts-dejavu-core"), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST(MissingFacesWarning, says_nothing_on_this_machine) {
    std::ostringstream out;
    WarnOfMissingWindowFaces(out);
    EXPECT_EQ(out.str(), "");
}

// Whether the process has its SIGTERM handler in place, which it sets after the font check.
bool StartedUp(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> 14) & 1;
    return false;
}

// The program's standard error from start-up to a termination signal, with the fonts of
// `fontDir` only (empty: the system's); none when the program did not start up and end well.
std::optional<QString> StartUpErrors(const QString& fontDir) {
    QTemporaryDir dir;
    QFile ini(dir.filePath("s.ini"));
    if (!ini.open(QIODevice::WriteOnly)) return {};
    ini.write("[Morvi]\nPlus=1\n");
    ini.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!fontDir.isEmpty()) {
        QFile conf(dir.filePath("fonts.conf"));
        if (!conf.open(QIODevice::WriteOnly)) return {};
        conf.write(("<?xml version=\"1.0\"?>\n<fontconfig><dir>" + fontDir + "</dir><cachedir>" +
                    dir.path() + "/cache</cachedir></fontconfig>\n")
                       .toUtf8());
        conf.close();
        env.insert("FONTCONFIG_FILE", conf.fileName());
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(KVARTIX_PROGRAM, {ini.fileName()});
    if (!p.waitForStarted()) return {};
    if (!RunEventsUntil([&p] { return StartedUp(p.processId()); }, 30000)) return {};
    p.terminate();
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardError());
}

// What a minimal Debian has with fontconfig alone, before fonts-liberation.
TEST(MissingFacesAtStartUp, the_program_says_once_that_liberation_sans_is_missing) {
    const auto errors = StartUpErrors("/usr/share/fonts/truetype/dejavu");
    ASSERT_TRUE(errors);
    EXPECT_EQ(errors->count("font not installed"), 1) << errors->toStdString();
    EXPECT_TRUE(errors->contains("installed: Liberation Sans, Liberation Sans Narrow;"))
        << errors->toStdString();
}

// fonts-liberation satisfies fontconfig alone, so DejaVu can be missing too.
TEST(MissingFacesAtStartUp, the_program_names_dejavu_sans_when_only_liberation_is_there) {
    const auto errors = StartUpErrors("/usr/share/fonts/truetype/liberation");
    ASSERT_TRUE(errors);
    EXPECT_TRUE(errors->contains("installed: DejaVu Sans;")) << errors->toStdString();
}

TEST(MissingFacesAtStartUp, the_program_says_nothing_of_fonts_where_they_are_installed) {
    const auto errors = StartUpErrors({});
    ASSERT_TRUE(errors);
    EXPECT_FALSE(errors->contains("font")) << errors->toStdString();
}

}  // namespace
}  // namespace kvartix::test
