#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/IniFile.h"
#include "app/SettingsFile.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;

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
        auto doc = LoadIniFile(m_file);
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

TEST_F(IniFileSave, ReplacesTheFileAndLeavesNothingElseBehind) {
    fs::permissions(m_file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(SaveIniFile(m_file, Changed()), std::nullopt);
    EXPECT_EQ(Contents(m_file), "[Morvi]\r\nPlus=1\r\n[Program]\r\nLeft=99\r\n");
    EXPECT_EQ(FilesInFolder(), 1u);
#ifndef _WIN32  // where a file has only its read-only attribute
    EXPECT_EQ(fs::status(m_file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST_F(IniFileSave, AnInterruptedSaveLeavesTheOldFileWhole) {
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

TEST_F(IniFileSave, AReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    if (RunningAsRoot())
        GTEST_SKIP() << "running as root, which writes into read-only folders anyway";
#ifdef _WIN32
    GTEST_SKIP() << "a folder's read-only attribute does not keep files out on Windows";
#endif
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SaveSettingsFile({m_file, {}}, Moved()), Refused());
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, AReadOnlyFileIsRefused) {
    if (RunningAsRoot()) GTEST_SKIP() << "running as root, which writes read-only files anyway";
    fs::permissions(m_file, fs::perms::owner_read);
    EXPECT_EQ(SaveIniFile(m_file, Changed()), Refused());
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, ABadNumberLeavesTheFileUntouched) {
    auto s = Moved();
    s.BitRateText = "9600x";
    EXPECT_EQ(SaveSettingsFile({m_file, {}}, s), "'9600x' is not a valid integer value.");
    EXPECT_EQ(Contents(m_file), kOld);
}

TEST_F(IniFileSave, AMissingFolderIsRefusedUnlessTheSaveMayMakeIt) {
    const auto inMissing = (m_dir / "cfg" / "kvartix" / "default.ini").string();
    EXPECT_EQ(SaveIniFile(inMissing, Changed()), "Unable to write to " + inMissing + ".");
    ASSERT_EQ(SaveIniFile(inMissing, Changed(), {(m_dir / "cfg" / "kvartix/").string(), {}}),
              std::nullopt);
    EXPECT_EQ(LoadIniFile(inMissing).ReadInteger("Program", "Left", 0), 99);
}

TEST_F(IniFileSave, ALinkStaysALink) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
    const auto link = (m_dir / "link.ini").string();
    fs::create_symlink(m_file, link);
    ASSERT_EQ(SaveIniFile(link, Changed()), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(LoadIniFile(m_file).ReadInteger("Program", "Left", 0), 99);
}

}  // namespace
}  // namespace kvartix
