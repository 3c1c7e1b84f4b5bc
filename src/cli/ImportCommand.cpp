#include "cli/ImportCommand.h"

#include <iostream>

#include "cli/CliConfig.h"
#include "cli/FolderModel.h"
#include "directory/DirectorySettings.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "ui/net/HttpExchange.h"

namespace {

// No one is there to answer: the questions are answered No, a choice among systems is the
// one --choose names, and the status texts are left out.
class CliUser : public ImportUser
{
public:
    CliUser(const CliOptions& options, int sysId) : m_options(options), m_sysId(sysId) {}

    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        Fail(caption);
        std::cerr << text << (text.ends_with('\n') ? "" : "\n");
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        ShowMessage(caption, text);
        return false;
    }
    int ChooseSystem(const std::vector<TrsListDef>& systems) override
    {
        if (m_options.Choose) {
            for (size_t i = 0; i < systems.size(); ++i)
                if (systems[i].sid == *m_options.Choose)
                    return static_cast<int>(i);
            Fail("no system with RRID " + std::to_string(*m_options.Choose) + " has system ID " +
                 SystemIdText(m_sysId) + "; these have:");
        } else {
            Fail("several systems have system ID " + SystemIdText(m_sysId) + "; choose one with --choose RRID:");
        }
        std::cout << "RRID\tSystem Name\tCity\n";
        for (const TrsListDef& system : systems)
            std::cout << system.sid << "\t" << system.sName << "\t" << system.sCity << "\n";
        return -1;
    }
    void OpenPage(const std::string& address) override { Fail("see " + address); }
    void Pause(int) override {}

private:
    const CliOptions& m_options;
    int m_sysId;
};

bool FindTower(const std::vector<TOWERS>& towers, int rfss, int site, std::string& description)
{
    for (const TOWERS& tower : towers)
        if (tower.Rfss == rfss && tower.Site == site) {
            description = tower.Description;
            return true;
        }
    return false;
}

// The import names the current site after the directory's list, and so lists it even
// when nothing names it; the site it only borrowed keeps an entry when the directory or
// the folder itself gave one.
void ForgetBorrowedSite(P25Class& model, int rfss, int site, bool listedUnnamed)
{
    std::vector<TOWERS> towers;
    model.GetTowers(towers);
    std::string description;
    if (!FindTower(towers, rfss, site, description) || !description.empty() || listedUnnamed)
        return;
    model.ClearTowers();
    for (const TOWERS& tower : towers)
        if (tower.Rfss != rfss || tower.Site != site)
            model.SetTowerDescription(tower.Rfss, tower.Site, tower.Description);
}

}

int RunImport(const CliOptions& options)
{
    const NetworkApplication network;

    CONFIG config;
    EXTRASETTINGS extra;
    DataFolderLock lock;
    if (!LoadCliConfiguration(options, config, extra, lock))
        return 1;
    const std::string folder = SystemFolderPath(config.DataFolder, options.SystemId);
    if (!IsDirectory(folder)) {
        Fail("no system folder " + folder);
        return 1;
    }
    CliUser user(options, options.SystemId);
    const std::string sysIdText = SystemIdText(options.SystemId);
    // The folder stands for the decoding the window asks for.
    if (!CheckImportPreconditions(config, true, sysIdText, user))
        return 1;
    P25Class model;
    FolderModel loaded;
    if (!loaded.Load(model, config.DataFolder, options.SystemId))
        return 1;
    const int rfss = loaded.Rfss();
    const int site = loaded.Site();
    std::vector<TOWERS> towers;
    model.GetTowers(towers);
    std::string description;
    const bool listedUnnamed = FindTower(towers, rfss, site, description) && description.empty();

    const DIRECTORYSETTINGS settings = ReadDirectorySettings(config.ConfigFile);
    HttpExchange exchange(DirectoryTransport(config, settings));
    const ImportResult result = ImportSystem(model, exchange, user, settings, config, sysIdText, options.Import);
    // A failed import leaves the folder as it was: half an import is not saved.
    if (result != ImportResult::Imported)
        return 1;
    ForgetBorrowedSite(model, rfss, site, listedUnnamed);
    if (!loaded.Save(model))
        return 1;
    if (!options.Quiet)
        std::cout << "Imported the names of system " << sysIdText << " into " << folder << "\n";
    return 0;
}
