#include "directory/SystemImport.h"

#include <algorithm>
#include <cstdio>

#include "directory/DirectoryRecord.h"
#include "directory/SoapEnvelope.h"
#include "model/Locks.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"

namespace {

constexpr int InitialPause = 100;
constexpr int FinalPause = 1000;
constexpr int HighestTowerId = 255;
constexpr char DefaultTalkgroupPrefix[] = "T: ";
constexpr char BadAppKeyFault[] = "Invalid or empty application key specified";
constexpr char BadLoginFault[] = "Invalid Username or Password";
constexpr char NotPremiumFault[] = "Not a premium subscriber.";

const std::string Service = ServiceDisplayName;

void ReportError(const DirectoryError& error, ImportUser& user, const DIRECTORYSETTINGS& settings)
{
    user.ShowStatus("**Error!**");
    const std::string& text = error.Text;
    switch (error.Kind) {
    case DirectoryErrorKind::Fault:
        if (text == BadAppKeyFault)
            return user.ShowMessage(text, "Zembrant provided an invalid application key to the Radio Reference\n"
                                          "web service and was denied access to the service.\n\n"
                                          "Please report this error to the software author as soon as possible.\n");
        if (text == BadLoginFault)
            return user.ShowMessage(text, "The User name or Password set in the configuration screen\n"
                                          "is invalid.  Please check these settings and try the import\n"
                                          "from the Radio Reference Web Service again.\n\n"
                                          "Note: A premium subscription from the " +
                                              Service + " web site\nis required to use this feature.");
        if (text.find(NotPremiumFault) != std::string::npos) {
            if (user.AskYesNo(NotPremiumFault,
                              Service + " Web service has indicated that the user name\n"
                                        "and password supplied does not have a valid premium subscription.\n\n" +
                                  Service + " Web Service requires an active subscription\n"
                                            "for access to the available data.\n\n"
                                            "Would you like to visit the subscription page on the " +
                                  Service + " web site?"))
                user.OpenPage(settings.SubscriptionPage);
            return;
        }
        return user.ShowMessage(Service + " Web Service Error",
                                "An error has occured while attempting to import this system's\n"
                                "data from the " + Service + " web service.  The error message provided is:\n\n" + text);
    case DirectoryErrorKind::Parse:
    case DirectoryErrorKind::Conversion:
        return user.ShowMessage(Service + " Web Service Error",
                                "An error has occured while attempting to import data from \n"
                                "the " + Service + " web service.  The error message provided is:\n\n" + text);
    case DirectoryErrorKind::Transport:
    case DirectoryErrorKind::None:
        if (text.find(ConnectionFailedText) != std::string::npos)
            return user.ShowMessage(Service + " CD-ROM Import Error",
                                    "Zembrant was unable to connect to the local web server on\n"
                                    "the " + Service + " CD-ROM. Please ensure that the CD-ROM\n"
                                    "has been placed in the CD-ROM drive on your computer, and the\n"
                                    "local web server has been started.\n");
        return user.ShowMessage(Service + " CD-ROM Import Error",
                                "An error has occured while attempting to import data from \n"
                                "the " + Service + " CD-ROM.  The error message provided is:\n\n" + text);
    }
}

// Sites name towers; a site without an RFSS carries it in its number's hundreds.
void StoreSites(P25Class& model, const std::vector<TrsSite>& sites)
{
    for (const TrsSite& site : sites) {
        const int rfss = site.rfss != 0 ? site.rfss : site.siteNumber / 100;
        const int number = site.rfss != 0 ? site.siteNumber : site.siteNumber % 100;
        // RFSS and site are 8 bits on the air: no other tower can ever be seen.
        if (rfss < 0 || rfss > HighestTowerId || number < 0 || number > HighestTowerId)
            continue;
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        if (model.GetTowerDescription(rfss, number).empty())
            model.SetTowerDescription(rfss, number, site.siteDescr);
    }
}

// The caller holds TGLOCK.
bool WantsTalkgroup(const P25Class& model, TalkgroupImport option, int id)
{
    TGTAG known;
    const bool found = model.GetTalkgroup(id, known);
    return ImportTakesName(option, found, !found || IsDefaultTalkgroupName(known.Description));
}

void StoreTalkgroups(P25Class& model, const std::vector<Talkgroup>& talkgroups, TalkgroupImport option)
{
    constexpr int64_t Now = 0;
    constexpr uint8_t KeepPriority = 255;
    constexpr uint8_t EmergencyHeeded = 0;
    for (const Talkgroup& talkgroup : talkgroups) {
        const std::string name = ImportedName(talkgroup.tgAlpha, talkgroup.tgDescr);
        if (name.empty())
            continue;
        // Held across the test and the store: a busy table must not make a typed name look
        // like a default one.
        NamedLockGuard guard(Locks::TGLOCK);
        if (WantsTalkgroup(model, option, talkgroup.tgDec))
            model.SetTalkgroup(talkgroup.tgDec, name, Now, KeepPriority, EmergencyHeeded);
    }
}

// The steps that ask the service; an error is shown and ends them.
class ImportRun
{
public:
    ImportRun(P25Class& model, DirectoryClient& client, ImportUser& user, const DIRECTORYSETTINGS& settings)
        : m_model(model), m_client(client), m_user(user), m_settings(settings)
    {
    }

    ImportResult Run(const std::string& sysIdText, const IMPORTOPTIONS& options)
    {
        m_user.ShowStatus("*Requesting System Info*");
        std::vector<TrsListDef> systems;
        DirectoryError error;
        if (!m_client.GetTrsBySysid(sysIdText, systems, error))
            return Failed(error);
        if (systems.empty()) {
            m_user.ShowMessage("No Systems",
                               "There are no systems in the " + Service + " database with this SysID!");
            return ImportResult::NoSystems;
        }
        int chosen = 0;
        if (systems.size() > 1) {
            m_user.ShowStatus("*Multiple Systems*");
            m_user.ShowStatus("*Select System*");
            chosen = m_user.ChooseSystem(systems);
            if (chosen < 0 || chosen >= static_cast<int>(systems.size()))
                return ImportResult::NotChosen;
        }
        const TrsListDef& system = systems[static_cast<size_t>(chosen)];
        m_user.ShowStatus("*Processing System Info*");
        m_model.SetSystemDescription(system.sName);
        m_answered.Sid = system.sid;
        m_answered.Name = system.sName;
        if (options.Sites != SiteImport::None) {
            m_sitesTouched = true;
            m_user.ShowStatus("*Requesting Site Info*");
            std::vector<TrsSite> sites;
            if (!m_client.GetTrsSites(system.sid, sites, error))
                return Failed(error);
            m_user.ShowStatus("*Processing Site Info*");
            if (options.Sites == SiteImport::Replace)
                m_model.ClearTowers();
            StoreSites(m_model, sites);
            m_answered.HasSites = true;
            for (const TrsSite& site : sites)
                m_answered.Sites.push_back(DirectorySiteOf(site));
        }
        if (options.Talkgroups != TalkgroupImport::None) {
            m_user.ShowStatus("*Requesting TG Info*");
            std::vector<Talkgroup> talkgroups;
            if (!m_client.GetTrsTalkgroups(system.sid, 0, 0, 0, talkgroups, error))
                return Failed(error);
            m_user.ShowStatus("*Processing TG Info*");
            StoreTalkgroups(m_model, talkgroups, options.Talkgroups);
            m_answered.HasTalkgroups = true;
            for (const Talkgroup& talkgroup : talkgroups)
                m_answered.Talkgroups.push_back(DirectoryTalkgroupOf(talkgroup));
        }
        return ImportResult::Imported;
    }

    // Keeps the answers for the comparison with the air; false with the reason.
    bool KeepAnswers(std::string& error)
    {
        m_answered.SysId = m_model.GetSystemId();
        // No system, no folder: nothing to compare with.
        if (m_answered.SysId == 0)
            return true;
        m_answered.Imported = m_model.GetClock().Now();
        const std::string folder = SystemFolderPath(m_model.GetDataFolder(), m_answered.SysId);
        DirectoryRecord earlier;
        std::string ignored;
        if ((!m_answered.HasSites || !m_answered.HasTalkgroups) && LoadDirectoryRecord(folder, earlier, ignored) &&
            earlier.Sid == m_answered.Sid) {
            if (!m_answered.HasSites) {
                m_answered.HasSites = earlier.HasSites;
                m_answered.Sites = std::move(earlier.Sites);
            }
            if (!m_answered.HasTalkgroups) {
                m_answered.HasTalkgroups = earlier.HasTalkgroups;
                m_answered.Talkgroups = std::move(earlier.Talkgroups);
            }
        }
        return SaveDirectoryRecord(folder, m_answered, error);
    }

    // Whether the tower names may have changed.
    bool SitesTouched() const { return m_sitesTouched; }

private:
    ImportResult Failed(const DirectoryError& error)
    {
        ReportError(error, m_user, m_settings);
        return ImportResult::Failed;
    }

    P25Class& m_model;
    DirectoryClient& m_client;
    ImportUser& m_user;
    const DIRECTORYSETTINGS& m_settings;
    bool m_sitesTouched = false;
    DirectoryRecord m_answered;
};

}

bool CanImport(const IMPORTOPTIONS& options)
{
    return options.Sites != SiteImport::None || options.Talkgroups != TalkgroupImport::None;
}

bool ImportTakesName(TalkgroupImport choice, bool known, bool defaultName)
{
    switch (choice) {
    case TalkgroupImport::New: return !known;
    case TalkgroupImport::Default: return !known || defaultName;
    case TalkgroupImport::All: return true;
    case TalkgroupImport::None: return false;
    }
    return false;
}

bool IsDefaultTalkgroupName(std::string_view description)
{
    return description.empty() || description.starts_with(DefaultTalkgroupPrefix);
}

std::string ImportedName(std::string_view alphaTag, std::string_view description)
{
    std::string name(alphaTag.empty() ? description : alphaTag);
    // The system folder's files write line ends as blanks.
    std::replace(name.begin(), name.end(), '\r', ' ');
    std::replace(name.begin(), name.end(), '\n', ' ');
    name = ValidUtf8(PrintableText(name), MaxTextLength);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::string SystemIdText(int sysId)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03X", static_cast<unsigned int>(sysId));
    return text;
}

bool CheckImportPreconditions(const CONFIG& config, bool decodeActive, const std::string& sysIdText,
                              ImportUser& user)
{
    if (!config.RRWebEnabled) {
        user.ShowMessage("RR Service not enabled",
                         Service + " Web Service must be configured and enabled in the configuration menu");
        return false;
    }
    if (config.RRUserName.empty() || config.RRPassword.empty()) {
        user.ShowMessage("RR Service not configured",
                         Service + " Web Service User Name and Password must be configured in the configuration menu");
        return false;
    }
    if (!decodeActive || sysIdText == "000") {
        user.ShowMessage("No Decode in Progress",
                         "Zembrant must be actively decoding a control channel to use this function.");
        return false;
    }
    return true;
}

ImportResult ImportSystem(P25Class& model, DirectoryExchange& exchange, ImportUser& user,
                          const DIRECTORYSETTINGS& settings, const CONFIG& config, const std::string& sysIdText,
                          const IMPORTOPTIONS& options)
{
    user.ShowStatus("*Initializing*");
    user.Pause(InitialPause);
    if (!IsUsableEndpoint(settings.Endpoint) || settings.Namespace.empty()) {
        user.ShowMessage("Error", "Failed to initialize the RR Web Service Handler");
        user.HideStatus();
        return ImportResult::NoService;
    }
    const AuthInfo auth{config.RRUserName, config.RRPassword, settings.AppKey, std::to_string(settings.ApiVersion),
                        "rpc"};
    DirectoryClient client(exchange, settings.Namespace, auth);
    ImportRun run(model, client, user, settings);
    const ImportResult result = run.Run(sysIdText, options);
    std::string error;
    if (result == ImportResult::Imported && !run.KeepAnswers(error))
        user.ShowMessage(Service + " Web Service Error",
                         "The names were imported, but the directory's answers could not be kept for\n"
                         "the comparison with the air:\n\n" + error);
    user.ShowStatus("*Import Complete*");
    user.Pause(FinalPause);
    user.HideStatus();
    if (run.SitesTouched()) {
        NamedLockGuard guard(Locks::SYSINFOLOCK);
        model.SetSiteDescription(model.GetTowerDescription(model.GetRfssId(), model.GetSiteId()));
    }
    return result;
}
