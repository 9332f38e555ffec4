#include <gtest/gtest.h>

#include <filesystem>

#include "app/SettingsPath.h"

namespace kvartix {
namespace {

struct PathCase {
    PathStyle Style;
    const char* Executable;
    const char* Argument;
    const char* Path;
    const char* Name;  // both captions end in it
};

class SettingsPathRule : public testing::TestWithParam<PathCase> {};

TEST_P(SettingsPathRule, forms_the_path_and_the_captions) {
    const auto& c = GetParam();
    const auto path = SettingsPath(c.Argument, FolderOf(c.Executable, c.Style), c.Style);
    EXPECT_EQ(path, c.Path);
    EXPECT_EQ(MainCaption(path, c.Style), std::string("KVARTIX ") + c.Name);
    EXPECT_EQ(TerminalCaption(path, c.Style), std::string("Term ") + c.Name);
}

TEST(SettingsPath, a_record_folder_is_taken_from_the_settings_files_folder_unless_absolute) {
    const struct {
        PathStyle Style;
        const char* Settings;
        const char* Folder;
        const char* Taken;
    } rows[] = {
        {PathStyle::Posix, "/home/u/bench/line2.ini", "records", "/home/u/bench/records"},
        {PathStyle::Posix, "/home/u/bench/line2.ini", "/var/rec", "/var/rec"},
        {PathStyle::Posix, "/home/u/bench/line2.ini", "", ""},
        {PathStyle::Windows, "D:\\Tests\\line2.ini", "rec", "D:\\Tests\\rec"},
        {PathStyle::Windows, "D:\\Tests\\line2.ini", "E:\\rec", "E:\\rec"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FolderBeside(r.Settings, r.Folder, r.Style), r.Taken) << r.Folder;
}

constexpr auto W = PathStyle::Windows;
constexpr auto P = PathStyle::Posix;

INSTANTIATE_TEST_SUITE_P(
    Examples, SettingsPathRule,
    testing::Values(
        PathCase{W, R"(E:\Tools\kvartix.exe)", "", R"(E:\Tools\default.ini)", "default"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", "line2", R"(E:\Tools\line2.ini)", "line2"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", "line2.cfg", R"(E:\Tools\line2.cfg)", "line2"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", R"(D:\Tests\line2)", R"(D:\Tests\line2.ini)",
                 "line2"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", R"(D:\Tests\line2.ini)", R"(D:\Tests\line2.ini)",
                 "line2"},
        // The main caption takes the file's own name too, not the folder's.
        PathCase{W, R"(E:\Tools\kvartix.exe)", R"(D:\Tests.old\line2)", R"(D:\Tests.old\line2)",
                 "line2"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", "sub/line2", R"(E:\Tools\sub/line2.ini)",
                 "sub/line2"},
        PathCase{W, R"(E:\Tools\kvartix.exe)", "D:line2", R"(E:\Tools\D:line2.ini)", "line2"},
        PathCase{W, "C:kvartix.exe", "", "C:default.ini", "default"},
        PathCase{P, "/opt/tools/kvartix", "", "/opt/tools/default.ini", "default"},
        PathCase{P, "/opt/tools/kvartix", "line2", "/opt/tools/line2.ini", "line2"},
        PathCase{P, "/opt/tools/kvartix", "line2.cfg", "/opt/tools/line2.cfg", "line2"},
        PathCase{P, "/opt/tools/kvartix", "/srv/tests/line2", "/srv/tests/line2.ini", "line2"},
        PathCase{P, "/opt/tools/kvartix", "/srv/tests/line2.ini", "/srv/tests/line2.ini", "line2"},
        PathCase{P, "/opt/tools/kvartix", "/srv/tests.old/line2", "/srv/tests.old/line2", "line2"},
        PathCase{P, "/opt/tools/kvartix", "sub/line2", "sub/line2.ini", "line2"},
        PathCase{P, "/opt/tools/kvartix", R"(sub\line2)", R"(/opt/tools/sub\line2.ini)",
                 R"(sub\line2)"},
        PathCase{P, "/opt/tools/kvartix", "D:line2", "/opt/tools/D:line2.ini", "D:line2"}));

struct FolderCase {
    const char* Executable;
    const char* InstallBinDir;
    const char* XdgConfigHome;
    const char* Home;
    const char* Folder;
    bool MadeBySave;
};

class InstalledProgram : public testing::TestWithParam<FolderCase> {};

TEST_P(InstalledProgram, keeps_its_settings_in_the_users_configuration_folder) {
    const auto& c = GetParam();
    const auto f = PosixSettingsFolder(c.Executable, c.InstallBinDir, c.XdgConfigHome, c.Home);
    EXPECT_EQ(f.Folder, c.Folder);
    EXPECT_EQ(f.MadeBySave, c.MadeBySave);
}

INSTANTIATE_TEST_SUITE_P(
    Places, InstalledProgram,
    testing::Values(
        FolderCase{"/usr/bin/kvartix", "/usr/bin", "", "/home/u", "/home/u/.config/kvartix/", true},
        FolderCase{"/usr/bin/kvartix", "/usr/bin", "/x/cfg/", "/home/u", "/x/cfg/kvartix/", true},
        FolderCase{"/usr/bin/kvartix", "/usr/bin", "cfg", "/home/u", "/home/u/.config/kvartix/",
                   true},
        FolderCase{"/usr/local/bin/kvartix", "/usr/local/bin/", "", "/root",
                   "/root/.config/kvartix/", true},
        FolderCase{"/opt/k/bin/kvartix", "/usr/bin", "", "/home/u", "/opt/k/bin/", false},
        FolderCase{"/usr/bin/sub/kvartix", "/usr/bin", "", "/home/u", "/usr/bin/sub/", false},
        FolderCase{"/usr/bin/kvartix", "/usr/bin", "", "", "/usr/bin/", false}));

struct WindowsFolderCase {
    const char* Executable;
    const char* AppData;
    const char* Folder;
    bool MadeBySave;
};

class InstalledWindowsProgram : public testing::TestWithParam<WindowsFolderCase> {};

TEST_P(InstalledWindowsProgram, keeps_its_settings_in_appdata_when_under_a_program_folder) {
    const auto& c = GetParam();
    const std::vector<std::string> programs = {R"(C:\Program Files)",
                                               R"(C:\Program Files (x86)\)"};
    const auto f = Win32SettingsFolder(c.Executable, programs, c.AppData);
    EXPECT_EQ(f.Folder, c.Folder);
    EXPECT_EQ(f.MadeBySave, c.MadeBySave);
}

INSTANTIATE_TEST_SUITE_P(
    Places, InstalledWindowsProgram,
    testing::Values(
        WindowsFolderCase{R"(C:\Program Files\KVARTIX\kvartix.exe)", R"(C:\Users\u\AppData\Roaming)",
                          R"(C:\Users\u\AppData\Roaming\kvartix\)", true},
        WindowsFolderCase{R"(c:\PROGRAM FILES (X86)\kvartix\bin\kvartix.exe)", R"(D:\roam\)",
                          R"(D:\roam\kvartix\)", true},
        WindowsFolderCase{R"(C:\Program Files Extra\kvartix.exe)", R"(D:\roam)",
                          R"(C:\Program Files Extra\)", false},
        WindowsFolderCase{R"(E:\Tools\kvartix.exe)", R"(D:\roam)", R"(E:\Tools\)", false},
        WindowsFolderCase{R"(C:\Program Files\KVARTIX\kvartix.exe)", "",
                          R"(C:\Program Files\KVARTIX\)", false}));

TEST(SettingsPath, an_installed_copy_makes_its_settings_folder_only_for_a_file_inside_it) {
    const SettingsFolder appData{R"(C:\roam\kvartix\)", true};
    EXPECT_EQ(LocationIn("line2", appData, PathStyle::Windows).FolderToCreate, appData.Folder);
    EXPECT_EQ(LocationIn(R"(D:\t\line2)", appData, PathStyle::Windows).FolderToCreate, "");
}

TEST(SettingsPath, a_run_from_the_build_tree_keeps_its_file_beside_the_executable) {
    const auto location = RunningSettingsLocation("line2");
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::exists(FolderOf(location.Path, PathStyle::Windows) +
                                        "app_tests.exe"))
        << location.Path;
    EXPECT_TRUE(location.Path.ends_with("\\line2.ini")) << location.Path;
#else
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(location.Path, FolderOf(exe, PathStyle::Posix) + "line2.ini");
#endif
    EXPECT_EQ(location.FolderToCreate, "");
}

}  // namespace
}  // namespace kvartix
