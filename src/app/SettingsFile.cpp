#include "app/SettingsFile.h"

namespace kvartix {

ProgramSettings LoadSettingsFile(const std::string& path) {
    ProgramSettings settings;
    settings.Load(LoadIniFile(path));
    return settings;
}

std::optional<std::string> SaveSettingsFile(const SettingsLocation& where,
                                            const ProgramSettings& settings,
                                            const RenameStep& rename) {
    IniDocument doc = LoadIniFile(where.Path);
    if (auto problem = settings.Save(doc)) return problem;
    return SaveIniFile(where.Path, doc, {where.FolderToCreate, rename});
}

}  // namespace kvartix
