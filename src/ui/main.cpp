// zembrant: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <iostream>

#include <fcntl.h>
#include <unistd.h>

#include "input/InputNames.h"
#include "persistence/Config.h"
#include "platform/DataFolderLock.h"
#include "ui/DataFolderChoice.h"
#include "ui/MainWindow.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGHUP (a logout, a shutdown, a lost ssh -X) close the window as File > Exit
// does, saves included; the handler only writes to a pipe the event loop watches.
void CloseOnStopSignals(MainWindow& window)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        window.CloseUnattended();
    });
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}

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
    CloseOnStopSignals(window);
    window.show();
    if (!replayFile.isEmpty())
        window.StartReplay(replayFile, kind);
    return QApplication::exec();
}
