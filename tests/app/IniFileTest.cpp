#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/IniFile.h"
#include "app/SettingsFile.h"
#include "support/TextBytes.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#ifdef __linux__
#include <cstdio>
#include <vector>

// Linked with --wrap=fsync (tests/CMakeLists.txt): the program's fsyncs come here first, and
// while a test holds a log each one is written into it by the file's path.
static std::vector<std::string>* g_steps = nullptr;
extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fsync(int fd) {
    if (g_steps)
        g_steps->push_back(
            "fsync " +
            std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).string());
    return __real_fsync(fd);
}
#endif

namespace kvartix {
namespace {

namespace fs = std::filesystem;
using test::kCourierCp1251;
using test::Utf16;

bool RunningAsRoot() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

class IniFileSave : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kvartix-ini-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_file = (m_dir / "line2.ini").string();
        std::ofstream(m_file, std::ios::binary) << kOld;
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all);
        std::error_code ec;  // Windows removes no read-only file
        fs::permissions(m_file, fs::perms::owner_read | fs::perms::owner_write, ec);
        fs::remove_all(m_dir);
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }
    IniDocument Changed() const {
        auto doc = ReadIniFile(m_file).Doc;
        doc.WriteInteger("Program", "Left", 99);
        return doc;
    }
    static ProgramSettings Moved() {
        ProgramSettings s;
        s.Left = 99;
        return s;
    }
    std::string Refused() const { return "Unable to write to " + m_file + "."; }

    static constexpr const char* kOld = "[Morvi]\r\nPlus=1\r\n[Program]\r\nLeft=1\r\n";
    fs::path m_dir;
    std::string m_file;
};

TEST_F(IniFileSave, replaces_the_file_and_leaves_nothing_else_behind) {
    fs::permissions(m_file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(SaveIniFile(m_file, Changed()), std::nullopt);
    EXPECT_EQ(Contents(m_file), "[Morvi]\r\nPlus=1\r\n[Program]\r\nLeft=99\r\n");
    EXPECT_EQ(FilesInFolder(), 1u);
#ifndef _WIN32  // where a file has only its read-only attribute
    EXPECT_EQ(fs::status(m_file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST_F(IniFileSave, an_interrupted_save_leaves_the_old_file_whole) {
    std::string seen;
    const RenameStep interrupted = [&](const std::string& from, const std::string&) {
        seen = Contents(from);
        return false;
    };
    EXPECT_EQ(SaveSettingsFile({m_file, {}}, Moved(), interrupted), Refused());
    EXPECT_NE(seen.find("[Program]\r\nLeft=99\r\n"), std::string::npos);
    EXPECT_EQ(Contents(m_file), kOld);
    EXPECT_EQ(FilesInFolder(), 1u);
}

#ifdef __linux__
TEST_F(IniFileSave, the_new_file_is_on_the_disk_before_the_rename_makes_it_the_settings_file) {
    std::vector<std::string> steps;
    const RenameStep rename = [&](const std::string& from, const std::string& to) {
        steps.push_back("rename " + fs::canonical(from).string());
        return std::rename(from.c_str(), to.c_str()) == 0;
    };
    g_steps = &steps;
    const auto refused = SaveSettingsFile({m_file, {}}, Moved(), rename);
    g_steps = nullptr;
    EXPECT_EQ(refused, std::nullopt);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0], "fsync " + steps[1].substr(std::string("rename ").size()));
}
#endif

TEST_F(IniFileSave, a_read_only_folder_refuses_the_write_and_keeps_the_file) {
    if (RunningAsRoot())
        GTEST_SKIP() << "running as root, which writes into read-only folders anyway";
#ifdef _WIN32
    GTEST_SKIP() << "a folder's read-only attribute does not keep files out on Windows";
#endif
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SaveSettingsFile({m_file, {}}, Moved()), Refused());
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, a_read_only_file_is_refused) {
    if (RunningAsRoot()) GTEST_SKIP() << "running as root, which writes read-only files anyway";
    fs::permissions(m_file, fs::perms::owner_read);
    EXPECT_EQ(SaveIniFile(m_file, Changed()), Refused());
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, a_bad_number_leaves_the_file_untouched) {
    auto s = Moved();
    s.BitRate = IntegerEntry::Typed("9600x");
    EXPECT_EQ(SaveSettingsFile({m_file, {}}, s), "'9600x' is not a valid integer value.");
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, a_missing_folder_is_refused_unless_the_save_may_make_it) {
    const auto inMissing = (m_dir / "cfg" / "kvartix" / "default.ini").string();
    EXPECT_EQ(SaveIniFile(inMissing, Changed()), "Unable to write to " + inMissing + ".");
    ASSERT_EQ(SaveIniFile(inMissing, Changed(), {(m_dir / "cfg" / "kvartix/").string(), {}}),
              std::nullopt);
    EXPECT_EQ(ReadIniFile(inMissing).Doc.ReadInteger("Program", "Left", 0), 99);
}

// A link to the file, or to one that does not exist yet (a dangling link), relative or not.
TEST_F(IniFileSave, a_link_stays_a_link_and_the_file_it_names_is_written) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
    const std::pair<fs::path, fs::path> cases[] = {
        {m_file, m_file},
        {"line2.ini", m_file},
        {m_dir / "new.ini", m_dir / "new.ini"},
        {"new2.ini", m_dir / "new2.ini"},
        {"chain.ini", m_dir / "new3.ini"},  // a link to a dangling link
    };
    fs::create_symlink("new3.ini", m_dir / "chain.ini");
    for (const auto& [linkTarget, file] : cases) {
        SCOPED_TRACE(linkTarget.string());
        const auto link = (m_dir / "link.ini").string();
        fs::remove(link);
        fs::create_symlink(linkTarget, link);
        ASSERT_EQ(SaveIniFile(link, Changed()), std::nullopt);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), linkTarget);
        EXPECT_EQ(ReadIniFile(file.string()).Doc.ReadInteger("Program", "Left", 0), 99);
    }
}

// A folder, a FIFO or a device at the path is not a settings file: nothing replaces it.
TEST_F(IniFileSave, only_a_regular_file_is_replaced) {
    std::vector<fs::path> others = {m_dir / "folder.ini"};
    fs::create_directory(others[0]);
#ifndef _WIN32
    others.push_back(m_dir / "fifo.ini");
    ASSERT_EQ(::mkfifo(others.back().c_str(), 0600), 0);
    others.push_back(m_dir / "null.ini");
    fs::create_symlink("/dev/null", others.back());
#endif
    for (const auto& other : others) {
        SCOPED_TRACE(other.string());
        const auto before = fs::symlink_status(other).type();
        EXPECT_EQ(SaveIniFile(other.string(), Changed()), "Unable to write to " + other.string() + ".");
        EXPECT_EQ(fs::symlink_status(other).type(), before);
    }
    EXPECT_EQ(FilesInFolder(), 1 + others.size()) << "no temporary file left behind";
}

// The lines of the sections the program does not write, comments and other keys of a file
// written on Windows or in UTF-16, come back byte for byte; the program's own values go in
// in the file's encoding, the port's text byte for byte as it was read.
TEST_F(IniFileSave, keeps_every_byte_of_the_lines_it_does_not_rewrite_in_the_files_encoding) {
    const std::string cp1251Kept = "; \xEA\xEE\xEC\xEC\xE5\xED\xF2\xE0\xF0\xE8\xE9\r\n"
                                   "[Morvi]\r\nPlus=1\r\n"
                                   "[Mine]\r\n  Name = \xCA\xF3\xF0\xFC\xE5\xF0 \r\nodd \xFF\x98\x81\r\n";
    const std::u16string utf16Kept = u"; комментарий\r\n[Morvi]\r\nPlus=1\r\n[Mine]\r\n"
                                     u"  Name = Курьер 😀\r\n";
    struct Case {
        const char* What;
        std::string Kept;       // in front of the sections the save rewrites
        std::string Rewritten;  // the program's sections, as read
        std::string PortLine, NameLine;
    };
    const Case cases[] = {
        {"cp1251", cp1251Kept,
         "[Parameters]\r\nPort=/dev/tty\xC6\r\n[TerminalFont]\r\nName=" + kCourierCp1251 +
             "\r\n",
         "\r\nPort=/dev/tty\xC6\r\n", "\r\nName=" + kCourierCp1251 + "\r\n"},
        {"utf16", Utf16(utf16Kept),
         Utf16(u"[Parameters]\r\nPort=/dev/ttyЖ\r\n[TerminalFont]\r\nName=Курьер Моно\r\n")
             .substr(2),
         Utf16(u"\r\nPort=/dev/ttyЖ\r\n").substr(2), Utf16(u"\r\nName=Курьер Моно\r\n").substr(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::ofstream(m_file, std::ios::binary | std::ios::trunc) << c.Kept + c.Rewritten;
        const SettingsAtStart start = ReadSettingsAtStart(m_file);
        EXPECT_EQ(start.Settings.FontName, "Курьер Моно");
        EXPECT_EQ(start.Settings.Port, "/dev/ttyЖ");
        ASSERT_EQ(SaveSettingsFile({m_file, {}}, start.Settings), std::nullopt);
        const std::string saved = Contents(m_file);
        EXPECT_EQ(saved.substr(0, c.Kept.size()), c.Kept);
        EXPECT_NE(saved.find(c.PortLine), std::string::npos);
        EXPECT_NE(saved.find(c.NameLine), std::string::npos);
        EXPECT_EQ(ReadIniFile(m_file).Doc.Encoding(), IniDocument::Parse(c.Kept).Encoding());
    }
}

// What is at the path decides whether it is read at all.
TEST_F(IniFileSave, only_a_regular_file_of_sane_size_is_read) {
    const auto at = [&](const char* name) { return (m_dir / name).string(); };
    fs::create_directory(at("folder.ini"));
    std::ofstream(at("largest.ini"));
    fs::resize_file(at("largest.ini"), kMaxIniFileSize);
    std::ofstream(at("large.ini"));
    fs::resize_file(at("large.ini"), kMaxIniFileSize + 1);  // sparse: nothing is written
    struct Case {
        std::string Path;
        bool Found;
        std::string Problem;
    };
    std::vector<Case> cases = {
        {m_file, true, ""},
        {at("missing.ini"), false, ""},
        {m_file + "/under-a-file.ini", false, ""},
        {at("folder.ini"), true, "is a folder"},
        {at("largest.ini"), true, ""},
        {at("large.ini"), true, "is larger than 16 MB"},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(at("fifo.ini").c_str(), 0600), 0);  // a reader would wait for a writer
    fs::create_symlink("/dev/zero", at("zero.ini"));       // a reader would never stop
    fs::create_symlink("missing.ini", at("dangling.ini"));
    fs::create_symlink("line2.ini", at("link.ini"));
    cases.insert(cases.end(), {{at("fifo.ini"), true, "is not a regular file"},
                               {at("zero.ini"), true, "is not a regular file"},
                               {at("dangling.ini"), false, ""},
                               {at("link.ini"), true, ""}});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const IniRead read = ReadIniFile(c.Path);
        EXPECT_EQ(read.Found, c.Found);
        EXPECT_EQ(read.Problem, c.Problem);
        if (c.Path == m_file) {
            EXPECT_EQ(read.Doc.ReadInteger("Program", "Left", 0), 1);
        }
    }
}

#ifndef _WIN32
constexpr uid_t kNobody = 65534;

// Runs body as an ordinary user: in a child process as nobody when the tests run as root,
// who reads and writes any file. Its result is body's, or 100 when the child could not
// become nobody.
int AsOrdinaryUser(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// A file the user may write but not read (mode 0200) loads as nothing and would be lost.
TEST_F(IniFileSave, a_file_that_cannot_be_read_is_never_replaced) {
    const std::string kept = "[Mine]\nx=1\n[Morvi]\nPlus=1\n";
    std::ofstream(m_file, std::ios::binary | std::ios::trunc) << kept;
    ASSERT_EQ(::chmod(m_file.c_str(), 0200), 0);
    if (RunningAsRoot()) {
        ASSERT_EQ(::chown(m_file.c_str(), kNobody, kNobody), 0);
    }
    const int result = AsOrdinaryUser([&] {
        const std::string problem = "cannot be read (Permission denied)";
        if (ReadIniFile(m_file).Problem != problem) return 1;
        const SettingsAtStart start = ReadSettingsAtStart(m_file);
        if (start.Problem.rfind("The settings file " + m_file + " " + problem +
                                    ". The program runs with the default settings",
                                0) != 0 ||
            start.Settings != ProgramSettings{})
            return 2;
        // A save that was not told refuses; one that was told does nothing.
        if (SaveSettingsFile({m_file, {}}, Moved()) !=
            "The settings file " + m_file + " " + problem + "; it was not replaced.")
            return 3;
        if (SaveSettingsFile({m_file, {}, true}, Moved()) != std::nullopt) return 4;
        return 0;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(::chmod(m_file.c_str(), 0600), 0);
    EXPECT_EQ(Contents(m_file), kept);
    EXPECT_EQ(FilesInFolder(), 1u);
}

struct stat Status(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st;
}

// Root saving a user's file (kvartix ~user/.config/kvartix/line2.ini) leaves it the user's.
TEST_F(IniFileSave, keeps_the_owner_and_group_of_the_file_it_replaces) {
    if (!RunningAsRoot()) GTEST_SKIP() << "only root gives a file to another user";
    ASSERT_EQ(::chown(m_file.c_str(), 12345, 23456), 0);
    ASSERT_EQ(::chmod(m_file.c_str(), 0640), 0);
    const ino_t before = Status(m_file).st_ino;
    ASSERT_EQ(SaveIniFile(m_file, Changed()), std::nullopt);
    const struct stat after = Status(m_file);
    EXPECT_EQ(after.st_uid, 12345u);
    EXPECT_EQ(after.st_gid, 23456u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before) << "replaced by a rename";
    EXPECT_EQ(Contents(m_file), "[Morvi]\r\nPlus=1\r\n[Program]\r\nLeft=99\r\n");
}

// A user may write another user's file (mode 0666) but cannot give a new file its owner: the
// file is written over in place, and stays the other user's.
TEST_F(IniFileSave, a_file_whose_owner_cannot_be_kept_is_written_in_place) {
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to make another user's file";
    ASSERT_EQ(::chown(m_file.c_str(), 12345, 12345), 0);
    ASSERT_EQ(::chmod(m_file.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(m_dir.c_str(), 0777), 0);
    const ino_t before = Status(m_file).st_ino;
    const IniDocument changed = Changed();
    EXPECT_EQ(AsOrdinaryUser([&] { return SaveIniFile(m_file, changed) ? 1 : 0; }), 0);
    const struct stat after = Status(m_file);
    EXPECT_EQ(after.st_uid, 12345u);
    EXPECT_EQ(after.st_gid, 12345u);
    EXPECT_EQ(after.st_ino, before);
    EXPECT_EQ(Contents(m_file), "[Morvi]\r\nPlus=1\r\n[Program]\r\nLeft=99\r\n");
    EXPECT_EQ(FilesInFolder(), 1u);
}
#endif

}  // namespace
}  // namespace kvartix
