#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "directory/DirectoryClient.h"
#include "directory/DirectorySettings.h"

class P25Class;
struct CONFIG;

// The directory service's name where the import's messages name it.
inline constexpr char ServiceDisplayName[] = "RadioReference";

enum class SiteImport { New, Replace, None };
enum class TalkgroupImport { New, Default, All, None };

struct IMPORTOPTIONS
{
    SiteImport Sites = SiteImport::New;
    TalkgroupImport Talkgroups = TalkgroupImport::New;
};

// Whether the options dialog enables "Import from Web": not with nothing to import.
bool CanImport(const IMPORTOPTIONS& options);

// The rules every import of names follows (this one, and the CSV files of names/).
// Whether the choice stores an imported name for an ID: known, the table holds it;
// defaultName, its description is empty or the one the decoder gave it.
bool ImportTakesName(TalkgroupImport choice, bool known, bool defaultName);
// Empty, or the description the decoder gives a new talkgroup ("T: ...").
bool IsDefaultTalkgroupName(std::string_view description);
// The name an import stores: alphaTag, or description when the tag is empty. Tabs and
// line ends become blanks, other control characters and trailing blanks go, as a save and
// load of the system folder would have it, and at most MaxTextLength bytes of whole UTF-8
// characters stay (broken UTF-8 as U+FFFD). Empty: there is nothing to import.
std::string ImportedName(std::string_view alphaTag, std::string_view description = {});

// The user's side of the import, filled in by each front end. The import calls it from the
// thread it runs on; a test answers it directly.
class ImportUser
{
public:
    virtual ~ImportUser() = default;
    // Shows the status label with text, painted at once.
    virtual void ShowStatus(const std::string& text) = 0;
    // Empties the status label and hides it.
    virtual void HideStatus() = 0;
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // True for "Yes".
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    // The multiple-systems dialog: the index of the chosen system, or -1 when cancelled.
    virtual int ChooseSystem(const std::vector<TrsListDef>& systems) = 0;
    virtual void OpenPage(const std::string& address) = 0;
    virtual void Pause(int milliseconds) = 0;
};

// Checks, in order, that the service is enabled, that it has a user name and password, and
// that a system is being decoded (sysIdText is the system ID as the window shows it). False
// after telling the user which one failed; the options dialog comes next.
bool CheckImportPreconditions(const CONFIG& config, bool decodeActive, const std::string& sysIdText,
                              ImportUser& user);

enum class ImportResult {
    Imported,  // the chosen system's names were imported
    NoSystems, // the service knows no system with this ID
    NotChosen, // several systems share the ID and none was chosen
    Failed,    // an error was shown
    NoService  // the configured address is unusable; nothing was asked
};

// The import itself, from "*Initializing*" to the current site's description. Errors are
// shown through user; whatever was stored before one stays stored. The caller refreshes its
// affiliation and grant lists and asks for a full redraw afterwards.
ImportResult ImportSystem(P25Class& model, DirectoryExchange& exchange, ImportUser& user,
                          const DIRECTORYSETTINGS& settings, const CONFIG& config, const std::string& sysIdText,
                          const IMPORTOPTIONS& options);

// The system ID as the window shows it: three hexadecimal digits.
std::string SystemIdText(int sysId);
