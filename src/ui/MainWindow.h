#pragma once
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "directory/SystemImport.h"
#include "history/HistoryView.h"
#include "input/CaptureReplay.h"
#include "persistence/Config.h"
#include "session/Controller.h"
#include "ui/ColourPicker.h"
#include "ui/Prompter.h"
#include "view/RefreshCycle.h"
#include "view/RowMenu.h"
#include "view/WindowRules.h"

class ActivityControls;
class Editors;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class WindowTabs;
class RateChart;
class ListView;
class LogRowModel;
class TextRowModel;

// The main window (TForm1): the lists, the status panels, the menus, and the sessions it
// starts and stops through the controller. The refresh cycle runs here, on the user-interface
// thread, every 10 ms; stops and the close are polled from that timer, never waited for, and
// workers reach the window only through queued calls.
class MainWindow : public QMainWindow
{
    // It applies what its "Ok" changed to the lists, tabs and timers.
    friend class ConfigDialog;

public:
    MainWindow(const CommandLine& commandLine, Prompter& prompter);
    ~MainWindow() override;

    // The replay of a capture file, as "Read data from &File" runs it after its dialogs.
    void StartReplay(const QString& path, CaptureKind kind);
    void StartDecodeSession();
    // False when the confirmation question was not answered Yes; the stop then goes on
    // from the refresh timer.
    bool StopDecodeSession();
    void ToggleHold();

    bool DecodeActive() const { return m_controller.DecodeActive(); }
    int HeldTalkgroup() const { return m_controller.HeldTalkgroup(); }
    const RowMenu& LastRowMenu() const { return m_rowMenu; }
    ListView* List(const QString& objectName) const;
    CONFIG& Config() { return m_config; }
    EXTRASETTINGS& Extra() { return m_extra; }
    ColourPicker& Colours() { return m_colours; }
    Controller& Control() { return m_controller; }
    RefreshCycle& Refresh() { return m_refresh; }
    P25Class& Model() { return m_model; }
    Editors& EditorDialogs() { return *m_editors; }

    // The dialogs of the replay; tests replace them.
    std::function<QString()> chooseCaptureFile;
    std::function<std::optional<CaptureKind>()> chooseCaptureKind;
    std::function<std::optional<int>(const QString& prefill)> askHoldTalkgroup;
    std::function<std::optional<std::pair<QString, QString>>()> askRange;
    // The directory import's options dialog and system choice (-1: none chosen), and the
    // web browser; tests replace them.
    std::function<std::optional<IMPORTOPTIONS>()> askImportOptions;
    std::function<int(const std::vector<TrsListDef>&)> chooseSystem;
    std::function<void(const std::string&)> openPage;

    // SIGTERM and SIGHUP: File > Exit with its saves, but nobody may be there to answer
    // a question (a logout, a lost display).
    void CloseUnattended()
    {
        m_unattended = true;
        close();
    }

    void ImportSystemInformation();
    // "Import Names from CSV..." and "Export Names to CSV...".
    void TransferNames(bool import);
    void CheckForUpdates();
    bool DirectoryBusy() const { return m_directoryBusy; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_unattended = false;
    void BuildMenus();
    std::unique_ptr<Editors> MakeEditors();
    void RefreshDescriptions();
    QWidget* BuildActivityTab();
    QWidget* BuildAffiliationLogTab();
    QWidget* BuildAffiliationListTab();
    QWidget* BuildSiteTab();
    QWidget* BuildPatchesTab();
    QWidget* BuildLogTab(const QString& group, LogKind kind, const QStringList& columns, const QString& name,
                         QWidget* extra = nullptr);
    QWidget* BuildStatusPanels();
    QWidget* BuildStatusLine();
    ListView* AddLogList(LogKind kind, const QStringList& columns, const QString& name);
    ListView* AddTextList(const QStringList& columns, std::function<const std::vector<TextRow>&()> rows,
                          const QString& name);
    QWidget* LogButtons(LogKind kind, ListView* view, QWidget* extra);
    void BindRowMenu(ListView* view, MenuList list);
    // The row menu's history entries: a list of its own, read on a worker.
    void OpenHistory(HistorySubject subject, int id);
    void ShowRowMenu(ListView* view, MenuList list, const QPoint& at);

    void LoadSettings();
    void RestoreColumnWidths();
    void TakeColumnWidths();
    static inline const std::vector<int> ActivityColumnWidths = {50, 65, 50, 70, 70, 50, 135, 60, 145, 50, 50};
    void ApplyLayout();
    void ApplyTabVisibility();
    void FirstActivation();
    void RefreshTick();
    void SectionDrawn(RefreshCycle::Section section);
    void DrawPending();
    // chart: a second of the timer, not a redraw at a session's end.
    void OneSecond(bool chart);
    void AutoSaveTick();
    void BackupTick();
    void SaveLog(LogKind kind);
    void ReadDataFromFile();
    void ReplayStarted();
    void ReplayEnded();
    void FinishSession();
    void ActivityDoubleClicked();
    void AddRange();
    void SetRanges(bool active, bool remove);
    void ShowAbout();
    void ShowUsage();
    void UpdateCaption();
    static bool* AutoSaveSetting(CONFIG& config, LogKind kind);
    void TakeAutoSaveBoxes();
    void Report(const std::string& errors);
    void PollStops();
    void SetHold(int talkgroup);

    class ImportUi;
    void InitDirectoryCommands();
    // work runs on the worker thread and returns what the window does afterwards.
    void StartDirectoryWork(std::function<std::function<void()>()> work);
    void DirectoryWorkEnded(const std::function<void()>& finish);
    bool CloseWaitsForDirectory();

    Prompter& m_prompter;
    CommandLine m_commandLine;
    CONFIG m_config;
    EXTRASETTINGS m_extra;
    Controller m_controller;
    P25Class& m_model;
    RefreshCycle& m_refresh;
    ColourPicker m_colours{m_extra.CustomColors};

    bool m_activated = false;
    bool m_autoSaving = false;
    bool m_closed = false;
    RowMenu m_rowMenu;
    std::unique_ptr<Editors> m_editors;

    static constexpr int DrawIntervalMs = 40;
    bool m_deferDrawing = false;
    std::vector<RefreshCycle::Section> m_pendingSections;
    QElapsedTimer m_sinceDrawn;
    std::unique_ptr<ImportUser> m_importUi;
    std::thread m_directoryWorker;
    bool m_directoryBusy = false;
    std::atomic<bool> m_directoryCancel{false};
    std::atomic<bool> m_directoryDone{false};
    bool m_closeAfterDirectory = false;
    QAction* m_importAction = nullptr;
    QAction* m_updateAction = nullptr;
    QTimer m_refreshTimer;
    QTimer m_oneSecondTimer;
    QTimer m_autoSaveTimer;
    QTimer m_backupTimer;

    WindowTabs* m_tabs = nullptr;
    QPushButton* m_startStop = nullptr;
    QAction* m_readRadio = nullptr;
    QAction* m_stopRadio = nullptr;
    QMenu* m_rowMenuWidget = nullptr;
    std::map<QString, ListView*> m_lists;
    std::map<LogKind, ListView*> m_logViews;
    std::map<LogKind, QCheckBox*> m_autoSave;
    std::map<RefreshCycle::Section, std::vector<std::function<void()>>> m_drawers;

    QWidget* m_panels = nullptr;
    QGroupBox* m_systemPanel = nullptr;
    QGroupBox* m_sitePanel = nullptr;
    QGroupBox* m_decodePanel = nullptr;
    std::map<QString, QLabel*> m_values;
    std::map<QString, QWidget*> m_compactFields;
    QProgressBar* m_rateBar = nullptr;
    RateChart* m_rateChart = nullptr;
    uint64_t m_lastCrcFailures = 0;
    QLabel* m_backupLabel = nullptr;
    QLabel* m_importLabel = nullptr;
    QLabel* m_replayLabel = nullptr;
    EventStatusLine m_eventStatus;
    QLabel* m_eventNotice = nullptr;
    QLabel* m_eventsDropped = nullptr;
    QLabel* m_holdLabel = nullptr;
    QPushButton* m_holdButton = nullptr;
    QPushButton* m_decodeToggle = nullptr;
    QSpinBox* m_high = nullptr;
    QSpinBox* m_low = nullptr;
    QGroupBox* m_patchGroup = nullptr;
    QGroupBox* m_grantGroup = nullptr;
    // What the patch and grant lists under the activity list take of its group.
    static constexpr int ActivityListsHeight = 235;
    ActivityControls* m_activityControls = nullptr;
    QCheckBox* m_filterEnabled = nullptr;
    QLabel* m_affiliateCount = nullptr;
};
