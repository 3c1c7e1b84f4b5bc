// The two commands that talk to web servers, the directory import and the update check,
// and the names in and out as CSV. All run their work on a worker thread so the window keeps drawing; every question
// and notice is asked on the user-interface thread while the worker waits for the answer.
#include <QCoreApplication>
#include <QLabel>
#include <QDesktopServices>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "directory/VersionList.h"
#include "ui/Editors.h"
#include "ui/ImportOptionsDialog.h"
#include "ui/MainWindow.h"
#include "ui/NamesDialog.h"
#include "ui/QtText.h"
#include "ui/net/HttpExchange.h"

namespace {

// Notices of the preconditions, asked before any worker exists.
class DirectUser : public ImportUser
{
public:
    DirectUser(QWidget* parent, Prompter& prompter) : m_parent(parent), m_prompter(prompter) {}
    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        m_prompter.Tell(m_parent, Q(caption), Q(text));
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        return m_prompter.Ask(m_parent, Q(caption), Q(text));
    }
    int ChooseSystem(const std::vector<TrsListDef>&) override { return -1; }
    void OpenPage(const std::string&) override {}
    void Pause(int) override {}

private:
    QWidget* m_parent;
    Prompter& m_prompter;
};

// The import's side of the user on its worker thread. Once the window closes, questions
// are answered No and notices dropped, so the import winds down without anyone to ask.
class WorkerUser : public ImportUser
{
public:
    WorkerUser(QObject* window, std::function<ImportUser&()> user, const std::atomic<bool>& cancelled)
        : m_window(window), m_user(std::move(user)), m_cancelled(cancelled)
    {
    }
    void ShowStatus(const std::string& text) override
    {
        if (!m_cancelled)
            OnWindow([&] { m_user().ShowStatus(text); });
    }
    void HideStatus() override
    {
        OnWindow([&] { m_user().HideStatus(); });
    }
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        if (!m_cancelled)
            OnWindow([&] { m_user().ShowMessage(caption, text); });
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        bool yes = false;
        if (!m_cancelled)
            OnWindow([&] { yes = m_user().AskYesNo(caption, text); });
        return yes;
    }
    int ChooseSystem(const std::vector<TrsListDef>& systems) override
    {
        int chosen = -1;
        if (!m_cancelled)
            OnWindow([&] { chosen = m_user().ChooseSystem(systems); });
        return chosen;
    }
    void OpenPage(const std::string& address) override
    {
        if (!m_cancelled)
            OnWindow([&] { m_user().OpenPage(address); });
    }
    void Pause(int milliseconds) override
    {
        using namespace std::chrono;
        const auto end = steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!m_cancelled && steady_clock::now() < end)
            std::this_thread::sleep_for(std::min<steady_clock::duration>(20ms, end - steady_clock::now()));
    }

private:
    template <typename F> void OnWindow(F&& f)
    {
        QMetaObject::invokeMethod(m_window, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }

    QObject* m_window;
    std::function<ImportUser&()> m_user;
    const std::atomic<bool>& m_cancelled;
};

} // namespace

// The window's own side of the import: its status label, its message boxes, the choice.
class MainWindow::ImportUi : public ImportUser
{
public:
    explicit ImportUi(MainWindow& window) : m_window(window) {}
    void ShowStatus(const std::string& text) override
    {
        m_window.m_importLabel->setText(Q(text));
        m_window.m_importLabel->show();
        m_window.m_importLabel->repaint();
    }
    void HideStatus() override
    {
        m_window.m_importLabel->clear();
        m_window.m_importLabel->hide();
    }
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        m_window.m_prompter.Tell(&m_window, Q(caption), Q(text));
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        return m_window.m_prompter.Ask(&m_window, Q(caption), Q(text));
    }
    int ChooseSystem(const std::vector<TrsListDef>& systems) override
    {
        return m_window.chooseSystem ? m_window.chooseSystem(systems) : -1;
    }
    void OpenPage(const std::string& address) override
    {
        if (m_window.openPage)
            m_window.openPage(address);
    }
    void Pause(int) override {}

private:
    MainWindow& m_window;
};

void MainWindow::ImportSystemInformation()
{
    if (m_directoryBusy)
        return;
    DirectUser direct(this, m_prompter);
    const std::string sysId = m_refresh.Labels.SysId;
    if (!CheckImportPreconditions(m_config, m_controller.DecodeActive(), sysId, direct))
        return;
    std::optional<IMPORTOPTIONS> options;
    if (askImportOptions)
        options = askImportOptions();
    else
        options = AskImportOptions(this);
    if (!options)
        return;

    const DIRECTORYSETTINGS settings = ReadDirectorySettings(m_config.ConfigFile);
    TRANSPORTSETTINGS transport = DirectoryTransport(m_config, settings);
    transport.Cancel = &m_directoryCancel;
    m_controller.SetConfig(m_config);
    StartDirectoryWork([this, settings, transport, config = m_config, sysId, options = *options] {
        HttpExchange exchange(transport);
        WorkerUser user(this, [this]() -> ImportUser& { return *m_importUi; }, m_directoryCancel);
        ImportSystem(m_model, exchange, user, settings, config, sysId, options);
        return std::function<void()>([this] {
            // What the import named shows in every list.
            m_refresh.RebuildAffiliationList();
            RefreshDescriptions();
            m_refresh.RequestFullRedraw = true;
        });
    });
}

void MainWindow::CheckForUpdates()
{
    if (m_directoryBusy)
        return;
    const DIRECTORYSETTINGS settings = ReadDirectorySettings(m_config.ConfigFile);
    if (settings.VersionListUrl.empty()) {
        m_prompter.Tell(this, QStringLiteral("Update Check"),
                        QStringLiteral("This build of Zembrant has no update address, so it cannot look for "
                                       "a newer version."));
        return;
    }
    const std::string fileName = ProgramFileName(QCoreApplication::applicationFilePath().toStdString());
    TRANSPORTSETTINGS transport = UpdateTransport(m_config, settings, UpdateUserAgent(fileName, ProgramVersion()));
    transport.Cancel = &m_directoryCancel;
    StartDirectoryWork([this, transport, settings, fileName] {
        HttpExchange exchange(transport);
        auto answer = std::make_shared<HttpAnswer>();
        std::string error;
        const bool received = exchange.Get(settings.VersionListUrl, *answer, error);
        return std::function<void()>([this, received, answer, error, settings, fileName] {
            if (!received)
                m_prompter.Tell(this, QStringLiteral("Update Check Error"),
                                QStringLiteral("There was an error getting the current version information from "
                                               "the web site.\nThe error message received was:\n\n") +
                                    Q(error));
            else if (answer->Status >= 400)
                m_prompter.Tell(this, QStringLiteral("Web Error"), Q(answer->Body));
            else if (!IsNewerVersionListed(answer->Body, fileName, ProgramVersion()))
                m_prompter.Tell(this, QStringLiteral("Update Check"),
                                QStringLiteral("You already have the latest version!"));
            else if (m_prompter.Ask(this, QStringLiteral("Update Check"),
                                    QStringLiteral("There is a newer version of this software available!\nWould "
                                                   "you like to visit the web site to download the update?")) &&
                     openPage)
                openPage(settings.DownloadPage);
        });
    });
}

void MainWindow::StartDirectoryWork(std::function<std::function<void()>()> work)
{
    if (m_directoryWorker.joinable())
        m_directoryWorker.join();
    m_directoryBusy = true;
    m_directoryCancel = false;
    m_directoryDone = false;
    m_importAction->setEnabled(false);
    m_updateAction->setEnabled(false);
    m_directoryWorker = std::thread([this, work = std::move(work)] {
        std::function<void()> finish = work();
        m_directoryDone = true;
        QMetaObject::invokeMethod(this, [this, finish] { DirectoryWorkEnded(finish); }, Qt::QueuedConnection);
    });
}

void MainWindow::DirectoryWorkEnded(const std::function<void()>& finish)
{
    m_directoryWorker.join();
    m_directoryBusy = false;
    m_importAction->setEnabled(true);
    m_updateAction->setEnabled(true);
    if (m_closeAfterDirectory) {
        close();
        return;
    }
    if (finish)
        finish();
}

void MainWindow::InitDirectoryCommands()
{
    m_importUi = std::make_unique<ImportUi>(*this);
    chooseSystem = [this](const std::vector<TrsListDef>& systems) {
        return ChooseSystem(this, systems, m_config).value_or(-1);
    };
    openPage = [](const std::string& address) {
        if (!address.empty())
            QDesktopServices::openUrl(QUrl(Q(address)));
    };
}

// The window cannot close under a running exchange: it is told to give up, and the close
// comes again when the worker has ended (at the latest after the receive time-out).
bool MainWindow::CloseWaitsForDirectory()
{
    if (!m_directoryBusy)
        return false;
    m_directoryCancel = true;
    m_closeAfterDirectory = true;
    return true;
}

void MainWindow::TransferNames(bool import)
{
    if (m_directoryBusy)
        return;
    const QString title = import ? QStringLiteral("Import Names") : QStringLiteral("Export Names");
    if (m_model.GetSystemId() == 0) {
        m_prompter.Tell(this, title,
                        QStringLiteral("The names belong to a system: start decoding one, or replay a capture of "
                                       "it, first."));
        return;
    }
    NamesDialog dialog(this, import ? NamesDialog::Direction::Import : NamesDialog::Direction::Export);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The file is read whole and checked before any name changes, then stored row by row
    // under the tables' own locks beside the decoder: a worker's job.
    StartDirectoryWork([this, import, title, path = dialog.Path(), table = dialog.Table(), format = dialog.Format(),
                        choice = dialog.Choice()] {
        std::string error;
        NamesImportReport report;
        const bool done = import ? ImportNames(m_model, table, format, choice, path, report, error)
                                 : ExportNames(m_model, table, format, path, error);
        return std::function<void()>([this, import, title, done, error, report, path] {
            if (!done) {
                m_prompter.Tell(this, title, Q(error));
                return;
            }
            if (!import) {
                m_prompter.Tell(this, title, QStringLiteral("Names written to ") + Q(path) + QStringLiteral("."));
                return;
            }
            std::string text = ReportText(report);
            if (report.Added + report.Replaced > 0) {
                m_refresh.RebuildAffiliationList();
                RefreshDescriptions();
                m_refresh.RequestFullRedraw = true;
                std::string errors;
                if (!m_controller.SaveSystemInformation(errors))
                    text += "\n" + errors;
            }
            // The first refused lines tell what is wrong with the rest.
            constexpr size_t ShownReasons = 20;
            for (size_t i = 0; i < std::min(report.RefusedLines.size(), ShownReasons); ++i)
                text += "\nLine " + std::to_string(report.RefusedLines[i].first) + ": " + report.RefusedLines[i].second;
            m_prompter.Tell(this, title, Q(text));
        });
    });
}
