#include "ui/DataFolderChoice.h"

#include <QDir>

#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "ui/Prompter.h"
#include "ui/QtText.h"
#include "view/WindowRules.h"

bool HoldDataFolder(CommandLine& line, DataFolderLock& lock, Prompter& prompter)
{
    for (;;) {
        QDir().mkpath(Q(line.DataFolder));
        std::string error;
        // A folder that cannot even hold the lock file takes no save either: nothing to guard.
        if (lock.Take(line.DataFolder, error) != DataFolderLock::Outcome::InUse)
            return true;
        if (!prompter.Ask(nullptr, QStringLiteral("Data Folder In Use"),
                          Q(error) + QStringLiteral(".\n\nDo you want to choose another data folder?")))
            return false;
        const QString chosen =
            prompter.ChooseFolder(nullptr, QStringLiteral("Choose a Data Folder"), Q(line.DataFolder));
        if (chosen.isEmpty())
            return false;
        const std::string folder = WithTrailingSlash(chosen.toStdString());
        if (line.ConfigFile.starts_with(line.DataFolder))
            line.ConfigFile = folder + line.ConfigFile.substr(line.DataFolder.size());
        line.DataFolder = folder;
        line.DefaultDataFolder = false;
    }
}
