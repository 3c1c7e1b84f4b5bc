// zembrant: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <iostream>

#include "input/InputNames.h"
#include "persistence/Config.h"
#include "platform/DataFolderLock.h"
#include "ui/DataFolderChoice.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Zembrant P25 CC Decoder"));
    QApplication::setApplicationName(QStringLiteral("zembrant"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zembrant")));

    // "--replay FILE --format KIND" starts a replay at launch; the rest is the classic line.
    std::vector<std::string> args;
    QString replayFile;
    CaptureKind kind = CaptureKind::ZembrantDump;
    const QStringList all = QApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i) {
        if (all[i] == QStringLiteral("--replay") && i + 1 < all.size()) {
            replayFile = all[++i];
        } else if (all[i] == QStringLiteral("--format") && i + 1 < all.size()) {
            if (!ParseCaptureKind(all[++i].toStdString(), kind)) {
                std::cerr << "zembrant: unknown capture kind: " << all[i].toStdString() << "\n";
                return 2;
            }
        } else {
            args.push_back(all[i].toStdString());
        }
    }
    const std::string executableFolder = QApplication::applicationDirPath().toStdString() + "/";
    CommandLine commandLine = ParseCommandLine(args, executableFolder, DefaultDataFolder(), ConfigFileName);

    MessageBoxPrompter prompter;
    // Held until the window is gone and everything is saved.
    DataFolderLock folderLock;
    if (!HoldDataFolder(commandLine, folderLock, prompter))
        return 0;
    MainWindow window(commandLine, prompter);
    window.show();
    if (!replayFile.isEmpty())
        window.StartReplay(replayFile, kind);
    return QApplication::exec();
}
