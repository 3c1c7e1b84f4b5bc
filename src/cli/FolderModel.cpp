#include "cli/FolderModel.h"

#include <cstdlib>

#include "cli/CliConfig.h"
#include "model/P25Class.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace {

constexpr int HighestFlavor = 3;
constexpr int UnknownFlavor = -1;
constexpr int HighestTowerId = 255;

bool FreeSite(const std::string& folder, int& rfss, int& site)
{
    for (rfss = 1; rfss <= HighestTowerId; ++rfss)
        for (site = 1; site <= HighestTowerId; ++site)
            if (!FileExists(folder + TowerFileName(rfss, site)) && !FileExists(folder + OldTowerFileName(rfss, site)))
                return true;
    return false;
}

// What System.ini holds that the load does not read back but the save writes.
void KeepSystemIdentity(P25Class& model, const std::string& folder)
{
    const IniFile ini(folder + SystemIniName);
    const std::string wacn = ini.ReadString("System", "WACN", "");
    if (!wacn.empty()) {
        char* end = nullptr;
        const long value = std::strtol(wacn.c_str(), &end, 16);
        if (*end == '\0')
            model.SetWacn(static_cast<int>(value));
    }
    if (ini.ValueExists("System", "Flavor")) {
        const std::string flavor = ini.ReadString("System", "Flavor", "");
        int value = UnknownFlavor;
        for (int f = 0; f <= HighestFlavor; ++f)
            if (P25Class::FlavorText(f) == flavor)
                value = f;
        model.SetFlavor(value);
    }
}

void TellWarnings(P25Class& model)
{
    for (const std::string& warning : model.TakeFileWarnings())
        Fail("warning: " + warning);
}

}

bool FolderModel::Load(P25Class& model, const std::string& dataFolder, int sysId)
{
    m_folder = SystemFolderPath(dataFolder, sysId);
    if (!FreeSite(m_folder, m_rfss, m_site)) {
        Fail(m_folder + " holds a tower file for every site");
        return false;
    }
    model.SetDataFolder(dataFolder);
    model.SetSystemAndSite(sysId, m_rfss, 0, m_site);
    KeepSystemIdentity(model, m_folder);
    TellWarnings(model);
    return true;
}

bool FolderModel::Save(P25Class& model)
{
    std::string error;
    const bool saved = model.SaveSystemFolder(error);
    DeleteFile(m_folder + TowerFileName(m_rfss, m_site));
    TellWarnings(model);
    if (!saved)
        Fail(error);
    return saved;
}
