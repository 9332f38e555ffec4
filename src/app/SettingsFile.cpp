#include "app/SettingsFile.h"

namespace kvartix {

SettingsAtStart ReadSettingsAtStart(const std::string& path) {
    const IniRead read = ReadIniFile(path);
    SettingsAtStart start;
    start.Settings.Load(read.Doc);
    start.Plus = ReadPlus(read.Doc);
    if (!read.Problem.empty())
        start.Problem = "The settings file " + path + " " + read.Problem +
                        ". The program runs with the default settings and leaves the file as it "
                        "is: they are not saved at the close.";
    return start;
}

ProgramSettings LoadSettingsFile(const std::string& path) {
    return ReadSettingsAtStart(path).Settings;
}

std::optional<std::string> SaveSettingsFile(const SettingsLocation& where,
                                            const ProgramSettings& settings,
                                            const RenameStep& rename) {
    if (where.LeaveAlone) return std::nullopt;
    IniRead read = ReadIniFile(where.Path);
    if (!read.Problem.empty())
        return "The settings file " + where.Path + " " + read.Problem + "; it was not replaced.";
    if (auto problem = settings.Save(read.Doc)) return problem;
    return SaveIniFile(where.Path, read.Doc, {where.FolderToCreate, rename});
}

}  // namespace kvartix
