#include "ui/MainWindow.h"

#include <array>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

#include "ui/ActivityControls.h"
#include "ui/ConfigDialog.h"
#include "ui/Editors.h"
#include "ui/HistoryDialog.h"
#include "ui/ReportDialog.h"
#include "report/Reconcile.h"
#include "ui/ListModels.h"
#include "ui/QtText.h"
#include "ui/RateChart.h"
#include "ui/WindowTabs.h"
#include "view/ListSorting.h"

namespace {

constexpr int PanelWidth = 200;

QGroupBox* Group(const QString& title, QWidget* content)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(content);
    return box;
}

QWidget* Column(std::initializer_list<QWidget*> widgets, int stretchIndex = 0)
{
    auto* w = new QWidget;
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    int i = 0;
    for (QWidget* child : widgets)
        layout->addWidget(child, i++ == stretchIndex ? 1 : 0);
    return w;
}

} // namespace

MainWindow::MainWindow(const CommandLine& commandLine, Prompter& prompter)
    : m_prompter(prompter), m_commandLine(commandLine), m_model(m_controller.Model()),
      m_refresh(m_controller.Refresh())
{
    setWindowTitle(QStringLiteral("P25 Control Channel Information Display"));
    setMinimumSize(550, 550);
    resize(1024, 720);
    LoadSettings();

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(6, 6, 6, 6);
    m_tabs = new WindowTabs;
    m_tabs->setTabPosition(QTabWidget::South);
    // Ten tabs: narrow ones, so that all of them show whole at the usual window widths.
    m_tabs->Row()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 3px; }"));
    m_tabs->addTab(BuildActivityTab(), QStringLiteral("System Activity"));
    m_tabs->addTab(BuildAffiliationLogTab(), QStringLiteral("Affiliation Log"));
    m_tabs->addTab(BuildAffiliationListTab(), QStringLiteral("Affiliation List (0)"));
    m_tabs->addTab(BuildSiteTab(), QStringLiteral("Site Information"));
    m_tabs->addTab(BuildPatchesTab(), QStringLiteral("Patches (0)"));
    auto* filterRegistrations = new QCheckBox(QStringLiteral("Filter Unit Registrations"));
    filterRegistrations->setChecked(m_extra.FilterRegistrations);
    connect(filterRegistrations, &QCheckBox::toggled, this, [this](bool on) {
        m_extra.FilterRegistrations = on;
        m_controller.SetSettings(m_config, m_extra);
    });
    m_tabs->addTab(BuildLogTab(QStringLiteral("Other events"), LogKind::OtherEvents,
                               {"Timestamp", "Packet Data", "Event Description"}, "otherEvents", filterRegistrations),
                   QStringLiteral("Other Events"));
    m_tabs->addTab(BuildLogTab(QStringLiteral("Grant Trace"), LogKind::GrantTrace,
                               {"Timestamp", "Type", "Channel", "Frequency", "TG ID", "TalkGroup Description",
                                "Radio ID", "Radio Description"},
                               "grantTrace"),
                   QStringLiteral("Channel Grant Trace"));
    m_tabs->addTab(BuildLogTab(QString(), LogKind::UnknownPackets, {"Time", "Op", "Packet Data", "Notes"},
                               "unknownPackets"),
                   QStringLiteral("Unknown Packets"));
    m_decodeToggle = new QPushButton;
    connect(m_decodeToggle, &QPushButton::clicked, this, [this] {
        m_config.PktDumpVisible = !m_config.PktDumpVisible;
        m_controller.SetConfig(m_config);
        m_decodeToggle->setText(m_config.PktDumpVisible ? "Disable Decode" : "Enable Decode");
    });
    m_decodeToggle->setText(m_config.PktDumpVisible ? "Disable Decode" : "Enable Decode");
    m_tabs->addTab(BuildLogTab(QString(), LogKind::PacketDump, {"Time", "Packet Data", "Description"}, "packetDump",
                               m_decodeToggle),
                   QStringLiteral("Packet Dump"));
    m_tabs->addTab(BuildLogTab(QStringLiteral("Raw Data Dump"), LogKind::RawDump, {"Received Data"}, "rawDump"),
                   QStringLiteral("RAW Data Dump"));

    grid->addWidget(m_tabs, 0, 0);
    m_panels = BuildStatusPanels();
    grid->addWidget(m_panels, 0, 1, Qt::AlignTop);
    // The tab row hangs from the pages, as in one tab control.
    grid->setVerticalSpacing(0);
    grid->addWidget(m_tabs->Row(), 1, 0, 1, 2);
    QWidget* statusLine = BuildStatusLine();
    statusLine->setContentsMargins(0, 6, 0, 0);
    grid->addWidget(statusLine, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(0, 1);
    setCentralWidget(central);
    const std::pair<const char*, std::vector<int>> widths[] = {
        {"affiliationLog", {110, 70, 50, 140, 60}},
        {"grantTrace", {110, 60, 55, 65, 50, 140, 60}},
        {"recentGrants", {55, 55, 55, 65, 45, 120, 60}},
        {"otherEvents", {110, 170}},
        {"unknownPackets", {110, 30, 170}},
        {"packetDump", {110, 170}},
        {"patchLog", {110}},
        {"adjacentSites", {95, 40, 55, 65, 140}},
        {"identifierTables", {25, 20, 65, 55, 60, 55}},
    };
    for (const auto& [name, columns] : widths)
        List(QString::fromUtf8(name))->SetColumnWidths(columns);
    RestoreColumnWidths();
    BuildMenus();
    InitDirectoryCommands();
    ConfigDialog::ApplyLooks(*this);
    // Built once, at start: the font lists are filled then, not at each opening.
    ConfigDialog::Of(*this);
    ApplyTabVisibility();
    ApplyLayout();

    m_refresh.onSection = [this](RefreshCycle::Section section) { SectionDrawn(section); };
    // Rows about to be emptied by a reset are written first, into their own site's file.
    m_refresh.Logs.onClear = [this](LogKind kind) {
        if (m_controller.IsLogAutoSaved(kind))
            SaveLog(kind);
    };
    m_controller.onPortError = [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                m_prompter.Tell(this, QStringLiteral("Serial Port Open Error"), Q(text));
                m_controller.PortErrorReported();
            },
            Qt::QueuedConnection);
    };
    m_controller.onReplayEnded = [this] {
        QMetaObject::invokeMethod(this, [this] { ReplayEnded(); }, Qt::QueuedConnection);
    };
    m_controller.onSaveError = [this](const std::string& error) {
        QMetaObject::invokeMethod(this, [this, error] { Report(error); }, Qt::QueuedConnection);
    };
    m_controller.onBackupEnded = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_backupLabel->hide();
                if (m_controller.BackupEnded())
                    m_backupTimer.start(static_cast<int>(m_controller.BackupIntervalMs()));
            },
            Qt::QueuedConnection);
    };
    m_controller.onScannerNotice = [this](const std::string& text) { Report(text); };

    connect(&m_refreshTimer, &QTimer::timeout, this, &MainWindow::RefreshTick);
    connect(&m_oneSecondTimer, &QTimer::timeout, this, [this] { OneSecond(true); });
    connect(&m_autoSaveTimer, &QTimer::timeout, this, &MainWindow::AutoSaveTick);
    connect(&m_backupTimer, &QTimer::timeout, this, &MainWindow::BackupTick);
    m_refreshTimer.start(Controller::RefreshIntervalMs);
    m_oneSecondTimer.start(Controller::FigureIntervalMs);
}

MainWindow::~MainWindow()
{
    // A worker may be waiting for an answer from this thread: serve it until it ends.
    m_directoryCancel = true;
    while (m_directoryWorker.joinable() && !m_directoryDone)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    if (m_directoryWorker.joinable())
        m_directoryWorker.join();
    m_refreshTimer.stop();
    m_refresh.onSection = nullptr;
    m_refresh.Logs.onClear = nullptr;
    m_controller.onReplayEnded = nullptr;
    m_controller.onSaveError = nullptr;
    m_controller.onBackupEnded = nullptr;
    m_controller.onPortError = nullptr;
}

void MainWindow::LoadSettings()
{
    if (m_commandLine.DefaultDataFolder)
        QDir().mkpath(Q(m_commandLine.DataFolder));
    m_config.ConfigFile = m_commandLine.ConfigFile;
    m_config.DataFolder = m_commandLine.DataFolder;
    m_config.Width = width();
    m_config.Height = height();
    LoadConfiguration(m_config, m_extra);
    m_config.DataFolder = m_commandLine.DataFolder;
    m_controller.SetSettings(m_config, m_extra);
}

// The lists of the screen sections, in the sections' order.
static constexpr std::array<const char*, ScreenSectionNames.size()> ScreenSectionLists = {
    "activity",      "adjacentSites", "identifierTables", "affiliations",    "patchList",
    "affiliationLog", "unknownPackets", "grantTrace",      "otherEvents",     "patchLog",
    "siteInformation", "packetDump",  "recentGrants"};

void MainWindow::RestoreColumnWidths()
{
    if (!m_config.SaveScreenSizes)
        return;
    for (size_t s = 0; s < ScreenSectionLists.size(); ++s) {
        ListView* view = List(QString::fromUtf8(ScreenSectionLists[s]));
        for (const auto& [column, width] : m_extra.ColumnWidths[s])
            if (column < view->model()->columnCount())
                view->setColumnWidth(column, std::max(0, width));
    }
    // A list whose every column was dragged shut would look empty for good.
    ListView* activity = List(QStringLiteral("activity"));
    const auto& stored = m_extra.ColumnWidths[0];
    bool allShut = true;
    for (int column = 0; column < activity->model()->columnCount(); ++column)
        allShut = allShut && stored.count(column) && stored.at(column) == 0;
    if (allShut)
        activity->SetColumnWidths(ActivityColumnWidths);
}

void MainWindow::TakeColumnWidths()
{
    for (size_t s = 0; s < ScreenSectionLists.size(); ++s) {
        const ListView* view = List(QString::fromUtf8(ScreenSectionLists[s]));
        auto& widths = m_extra.ColumnWidths[s];
        widths.clear();
        for (int column = 0; column < view->model()->columnCount(); ++column)
            widths[column] = view->columnWidth(column);
    }
}

void MainWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save System Information"), this, [this] {
        std::string errors;
        if (!m_controller.SaveSystemInformation(errors))
            Report(errors);
    });
    file->addAction(QStringLiteral("Save &Log Data"), this, [this] {
        for (const auto& [kind, view] : m_logViews)
            SaveLog(kind);
    });
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"), this, [this] { close(); });
    exit->setShortcut(QKeySequence::Quit);
    exit->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    const std::pair<const char*, ConfigDialog::Page> configPages[] = {
        {"&Decode Configuration", ConfigDialog::DecodePage},
        {"Scanner &Control", ConfigDialog::ScannerControlPage},
        {"&Screen Settings", ConfigDialog::ScreenPage},
        {"Data &Options", ConfigDialog::DataOptionsPage},
        {"&RR Web Service/Proxy Settings", ConfigDialog::WebServicePage}};
    for (const auto& [item, page] : configPages)
        edit->addAction(QString::fromUtf8(item), this, [this, page] { ConfigDialog::Of(*this).Open(page); });
    QMenu* system = menuBar()->addMenu(QStringLiteral("&System"));
    m_editors = MakeEditors();
    m_editors->AddSystemMenu(system);
    m_importAction = system->addAction(QStringLiteral("&Import System Information from Radio Reference"), this,
                                       &MainWindow::ImportSystemInformation);
    system->addAction(QStringLiteral("What &Changed..."), this, [this] {
        (new ReportDialog(this, QStringLiteral("What Changed"), QStringLiteral("changes"),
                          [this] { return m_controller.ChangesTable(); }))
            ->show();
    });
    system->addAction(QStringLiteral("Com&pare with Radio Reference..."), this, [this] {
        const std::string dataFolder = m_model.GetDataFolder();
        const int sysId = m_model.GetSystemId();
        (new ReportDialog(this, QStringLiteral("Compare with Radio Reference"), QStringLiteral("reconcile"),
                          [this, dataFolder, sysId] { return CompareWithDirectory(m_model, dataFolder, sysId); }))
            ->show();
    });
    system->addAction(QStringLiteral("Import &Names from CSV..."), this, [this] { TransferNames(true); });
    system->addAction(QStringLiteral("E&xport Names to CSV..."), this, [this] { TransferNames(false); });
    m_editors->AddTablesItem(system);

    QMenu* decode = menuBar()->addMenu(QStringLiteral("&Decode"));
    m_readRadio = decode->addAction(QStringLiteral("&Read Data From Radio"), this, [this] {
        if (!m_controller.DecodeActive())
            StartDecodeSession();
    });
    m_stopRadio = decode->addAction(QStringLiteral("&Stop Reading Data From Radio"), this, [this] {
        if (m_controller.IsLive() && !m_controller.IsStopping())
            StopDecodeSession();
    });
    m_stopRadio->setEnabled(false);
    decode->addSeparator();
    decode->addAction(QStringLiteral("Read data from &File"), this, &MainWindow::ReadDataFromFile);
    decode->addSeparator();
    // Why each call was or was not followed, as the decisions come.
    decode->addAction(QStringLiteral("Follow &Decisions..."), this, [this] {
        (new ReportDialog(this, QStringLiteral("Follow Decisions"), QStringLiteral("follow"),
                          [this] { return m_controller.FollowTable(); }, 1000))
            ->show();
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    m_updateAction = help->addAction(QStringLiteral("Check for &Updates"), this, &MainWindow::CheckForUpdates);
    help->addSeparator();
    QAction* about = help->addAction(QStringLiteral("&About..."), this, &MainWindow::ShowAbout);
    about->setShortcut(QKeySequence::HelpContents);

    m_rowMenuWidget = new QMenu(this);
    m_rowMenuWidget->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenuWidget->addAction(QStringLiteral("Edit TalkGroups"), this,
                               [this] { m_editors->EditTalkgroup(Q(m_rowMenu.TalkgroupField)); });
    m_rowMenuWidget->addAction(QStringLiteral("Edit Radio IDs"), this,
                               [this] { m_editors->EditRadio(Q(m_rowMenu.RadioField)); });
    m_rowMenuWidget->addSeparator();
    m_rowMenuWidget->addAction(QString::fromUtf8(HistoryOfRadioCaption), this,
                               [this] { OpenHistory(HistorySubject::Radio, m_rowMenu.HistoryRadio); });
    m_rowMenuWidget->addAction(QString::fromUtf8(HistoryOfTalkgroupCaption), this,
                               [this] { OpenHistory(HistorySubject::Talkgroup, m_rowMenu.HistoryTalkgroup); });
}

void MainWindow::OpenHistory(HistorySubject subject, int id)
{
    if (id <= 0 || m_model.GetSystemId() == 0)
        return;
    const std::string name = subject == HistorySubject::Radio ? m_model.FindRadioDescription(id)
                                                               : m_model.GetTalkgroupDescription(id);
    auto* dialog = new HistoryDialog(this, m_model.GetDataFolder(), m_model.GetSystemId(), subject, id, name);
    dialog->show();
}

std::unique_ptr<Editors> MainWindow::MakeEditors()
{
    return std::make_unique<Editors>(this, EditorHost{m_model, m_config, m_colours, m_prompter,
                                                      [this] {
                                                          m_controller.SetSettings(m_config, m_extra);
                                                          std::string errors;
                                                          m_controller.SaveSettings(errors);
                                                          Report(errors);
                                                      },
                                                      [this] {
                                                          std::string errors;
                                                          m_controller.SaveSystemInformation(errors);
                                                          Report(errors);
                                                      },
                                                      [this] { RefreshDescriptions(); }});
}

static void OddEven(ListView* view, const CONFIG& config)
{
    view->Proxy()->SetColors([&config](int, int position) {
        RowColors colors;
        colors.Row = OddEvenColors(config, position);
        return colors;
    });
}

ListView* MainWindow::AddTextList(const QStringList& columns, std::function<const std::vector<TextRow>&()> rows,
                                  const QString& name)
{
    auto* model = new TextRowModel(columns, std::move(rows), m_refresh.Mutex(), nullptr);
    auto* view = new ListView(model, nullptr);
    view->setObjectName(name);
    if (m_config.UseGlobalFont)
        view->setFont(QFont(QStringLiteral("Tahoma"), 8));
    m_lists[name] = view;
    return view;
}

ListView* MainWindow::AddLogList(LogKind kind, const QStringList& columns, const QString& name)
{
    auto* model = new LogRowModel(columns, m_refresh.Logs.List(kind), m_refresh.Mutex(), nullptr);
    auto* view = new ListView(model, nullptr);
    view->setObjectName(name);
    if (m_config.UseGlobalFont)
        view->setFont(QFont(QStringLiteral("Tahoma"), 8));
    m_lists[name] = view;
    m_logViews[kind] = view;
    OddEven(view, m_config);
    return view;
}

ListView* MainWindow::List(const QString& objectName) const
{
    auto it = m_lists.find(objectName);
    return it == m_lists.end() ? nullptr : it->second;
}

static TextRowModel* TextModel(ListView* view)
{
    return static_cast<TextRowModel*>(view->Source());
}

// The log rows' descriptions change in place: every list shows them again.
void MainWindow::RefreshDescriptions()
{
    m_refresh.RefreshLogDescriptions();
    for (ListView* view : findChildren<ListView*>())
        view->Source()->CellsChanged();
}

static LogRowModel* LogModel(ListView* view)
{
    return static_cast<LogRowModel*>(view->Source());
}


// Sorting by the core's comparison (none: the list keeps its order) and the core's colours.
template <class Model, class Row>
void SortAndColor(ListView* view, int (*compare)(const Row&, const Row&, int),
                  std::function<RowColors(const Row&, int position)> colors)
{
    auto* model = static_cast<Model*>(view->Source());
    if (compare)
        view->EnableSorting([model, compare](int l, int r, int column) {
            const Row* a = model->RowAt(l);
            const Row* b = model->RowAt(r);
            return a && b ? compare(*a, *b, column) : 0;
        });
    view->Proxy()->SetColors([model, colors = std::move(colors)](int row, int position) {
        const Row* r = model->RowAt(row);
        return r ? colors(*r, position) : RowColors{};
    });
}

QWidget* MainWindow::BuildActivityTab()
{
    ListView* activity = AddTextList({"Ch", "Frequency", "Usage", "Type", "Priority", "TlkGrp", "TalkGroup Desc",
                                      "Radio ID", "Radio Desc", "Active", "Hits"},
                                     [this]() -> const std::vector<TextRow>& { return m_refresh.Activity; },
                                     "activity");
    activity->SetColumnWidths(ActivityColumnWidths);
    SortAndColor<TextRowModel, TextRow>(activity, CompareActivityRows, [this](const TextRow& row, int) {
        return ActivityRowColors(m_config, row, ModelColorSource(m_model));
    });
    BindRowMenu(activity, MenuList::Activity);
    connect(activity, &QTableView::doubleClicked, this, &MainWindow::ActivityDoubleClicked);
    m_drawers[RefreshCycle::Section::Activity].push_back([this, activity] {
        TextModel(activity)->Rebuilt();
        m_holdLabel->setText(Q(m_refresh.Hold));
    });

    ListView* patches = AddTextList({"Talkgroup", "Patched to"},
                                    [this]() -> const std::vector<TextRow>& { return m_refresh.CurrentPatches; },
                                    "currentPatches");
    OddEven(patches, m_config);
    // The narrow list shows both headers; the stretched last column would never shrink
    // below its first width.
    QHeaderView* patchHeader = patches->horizontalHeader();
    patches->setColumnWidth(0, patchHeader->sectionSizeHint(0));
    patches->setColumnWidth(1, patchHeader->sectionSizeHint(1));
    patches->setMinimumWidth(patchHeader->sectionSizeHint(0) + patchHeader->sectionSizeHint(1) +
                             2 * patches->frameWidth());
    m_drawers[RefreshCycle::Section::Patches].push_back([patches] { TextModel(patches)->Rebuilt(); });
    ListView* grants = AddLogList(LogKind::RecentGrants,
                                  {"Time", "Type", "Ch", "Freq", "TG", "TG Desc", "RID", "RID Description"},
                                  "recentGrants");
    SortAndColor<LogRowModel, LogRow>(grants, nullptr, [this](const LogRow& row, int position) {
        return GrantRowColors(m_config, row, position, ModelColorSource(m_model));
    });
    BindRowMenu(grants, MenuList::RecentGrants);
    m_patchGroup = Group(QStringLiteral("Current Patch List"), patches);
    m_grantGroup = Group(QStringLiteral("Recent Channel Grants:"), grants);

    auto* thresholds = new QGroupBox(QStringLiteral("Monitor Priority Threshold:"));
    auto* tl = new QHBoxLayout(thresholds);
    m_high = new QSpinBox;
    m_high->setRange(10, 99);
    m_high->setValue(std::clamp(m_config.MonitorThresholdHigh, 10, 99));
    m_low = new QSpinBox;
    m_low->setRange(0, 99);
    m_low->setValue(std::clamp(m_config.MonitorThresholdLow, 0, 99));
    m_high->setObjectName(QStringLiteral("thresholdHigh"));
    m_low->setObjectName(QStringLiteral("thresholdLow"));
    // A typed value counts when the field is left, not digit by digit: "60" must not pass as "6".
    m_high->setKeyboardTracking(false);
    m_low->setKeyboardTracking(false);
    connect(m_high, &QSpinBox::valueChanged, this, [this](int value) {
        if (AcceptsHighThreshold(value)) {
            m_config.MonitorThresholdHigh = value;
            m_controller.SetConfig(m_config);
        }
    });
    connect(m_low, &QSpinBox::valueChanged, this, [this](int value) {
        if (AcceptsLowThreshold(value, m_config.MonitorThresholdHigh)) {
            m_config.MonitorThresholdLow = value;
            m_controller.SetConfig(m_config);
        } else {
            QSignalBlocker block(m_low);
            m_low->setValue(m_config.MonitorThresholdLow);
        }
    });
    tl->addWidget(new QLabel(QStringLiteral("High:")));
    tl->addWidget(m_high);
    tl->addWidget(new QLabel(QStringLiteral("Low:")));
    tl->addWidget(m_low);

    m_holdButton = new QPushButton(QStringLiteral("Hold TalkGroup"));
    m_holdButton->setObjectName(QStringLiteral("holdButton"));
    connect(m_holdButton, &QPushButton::clicked, this, &MainWindow::ToggleHold);
    auto* usage = new QPushButton(QStringLiteral("Usage Code Descriptions"));
    connect(usage, &QPushButton::clicked, this, [this, usage] {
        usage->setEnabled(false);
        ShowUsage();
        usage->setEnabled(true);
    });
    m_holdLabel = new QLabel(QStringLiteral("No Hold"));
    m_holdLabel->setObjectName(QStringLiteral("holdLabel"));

    m_activityControls = new ActivityControls({m_patchGroup, m_grantGroup}, ActivityListsHeight,
                                              {thresholds, m_holdButton, usage, m_holdLabel}, m_holdLabel);

    auto* site = new QGroupBox(QStringLiteral("Site Activity"));
    auto* sl = new QVBoxLayout(site);
    sl->setContentsMargins(4, 4, 4, 4);
    sl->addWidget(activity, 1);
    sl->addWidget(m_activityControls);
    return site;
}

void MainWindow::BindRowMenu(ListView* view, MenuList list)
{
    auto prepare = [this, view, list] {
        const int row = view->CurrentSourceRow();
        std::lock_guard guard(m_refresh.Mutex());
        if (auto* text = dynamic_cast<TextRowModel*>(view->Source()))
            m_rowMenu = PrepareRowMenu(list, text->RowAt(row));
        else
            m_rowMenu = PrepareRowMenu(list, LogModel(view)->RowAt(row));
    };
    connect(view, &QTableView::clicked, this, prepare);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view, prepare](const QPoint& at) {
        const QModelIndex index = view->indexAt(at);
        if (index.isValid())
            view->setCurrentIndex(index);
        else
            view->setCurrentIndex({});
        prepare();
        const auto actions = m_rowMenuWidget->actions();
        actions[0]->setText(Q(m_rowMenu.TalkgroupCaption));
        actions[1]->setText(Q(m_rowMenu.RadioCaption));
        // actions[2] is the separator.
        const bool system = m_model.GetSystemId() != 0;
        actions[3]->setEnabled(system && m_rowMenu.HistoryRadio > 0);
        actions[4]->setEnabled(system && m_rowMenu.HistoryTalkgroup > 0);
        m_rowMenuWidget->popup(view->viewport()->mapToGlobal(at));
    });
}

QWidget* MainWindow::LogButtons(LogKind kind, ListView* view, QWidget* extra)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QCheckBox(QStringLiteral("Auto Scroll"));
    connect(scroll, &QCheckBox::toggled, this, [view](bool on) {
        view->AutoScroll = on;
        view->ScrollIfFollowing();
    });
    auto* autoSave = new QCheckBox(QStringLiteral("Auto Save"));
    m_autoSave[kind] = autoSave;
    if (const bool* setting = AutoSaveSetting(m_config, kind))
        autoSave->setChecked(*setting);
    auto* save = new QPushButton(QStringLiteral("Save"));
    save->setObjectName(QStringLiteral("save ") + view->objectName());
    connect(save, &QPushButton::clicked, this, [this, kind] { SaveLog(kind); });
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    clear->setObjectName(QStringLiteral("clear ") + view->objectName());
    connect(clear, &QPushButton::clicked, this, [this, kind, view] {
        if (ClearAsksFirst(kind, m_config.Confirmations) &&
            !m_prompter.Ask(this, QString::fromUtf8(ClearQuestionCaption), QString::fromUtf8(ClearQuestion)))
            return;
        {
            std::lock_guard guard(m_refresh.Mutex());
            m_refresh.Logs.List(kind).Clear();
        }
        LogModel(view)->Sync();
    });
    layout->addWidget(scroll);
    if (extra && qobject_cast<QCheckBox*>(extra))
        layout->addWidget(extra);
    layout->addWidget(autoSave);
    layout->addStretch(1);
    if (extra && !qobject_cast<QCheckBox*>(extra))
        layout->addWidget(extra);
    layout->addWidget(save);
    layout->addWidget(clear);
    if (kind == LogKind::GrantTrace || kind == LogKind::Affiliations) {
        auto* refresh = new QPushButton(QStringLiteral("Refresh"));
        connect(refresh, &QPushButton::clicked, this, [this, kind] {
            if (kind == LogKind::Affiliations)
                m_refresh.RebuildAffiliationList();
            RefreshDescriptions();
        });
        layout->addWidget(refresh);
    }
    return row;
}

QWidget* MainWindow::BuildLogTab(const QString& group, LogKind kind, const QStringList& columns, const QString& name,
                                 QWidget* extra)
{
    ListView* view = AddLogList(kind, columns, name);
    if (kind == LogKind::GrantTrace) {
        SortAndColor<LogRowModel, LogRow>(view, CompareGrantTraceRows, [this](const LogRow& row, int position) {
            return GrantRowColors(m_config, row, position, ModelColorSource(m_model));
        });
        BindRowMenu(view, MenuList::GrantTrace);
    }
    QWidget* list = group.isEmpty() ? static_cast<QWidget*>(view) : Group(group, view);
    return Column({list, LogButtons(kind, view, extra)});
}

QWidget* MainWindow::BuildAffiliationLogTab()
{
    ListView* log = AddLogList(LogKind::Affiliations,
                               {"Time", "Function", "TG ID", "TG Description", "Radio ID", "Radio Description"},
                               "affiliationLog");
    SortAndColor<LogRowModel, LogRow>(log, CompareAffiliationLogRows, [this](const LogRow& row, int position) {
        return AffiliationLogRowColors(m_config, row, position, ModelColorSource(m_model));
    });
    BindRowMenu(log, MenuList::AffiliationLog);

    ListView* ranges = AddTextList({"Low", "High", "Active"},
                                   [this]() -> const std::vector<TextRow>& { return m_refresh.FilterRanges; },
                                   "filterRanges");
    OddEven(ranges, m_config);
    ranges->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_drawers[RefreshCycle::Section::FilterRanges].push_back([this, ranges] {
        TextModel(ranges)->Rebuilt();
        QSignalBlocker block(m_filterEnabled);
        m_filterEnabled->setChecked(m_refresh.FilteringEnabled);
    });
    auto* rangeMenu = new QMenu(ranges);
    rangeMenu->addAction(QStringLiteral("&Add Range"), this, &MainWindow::AddRange);
    rangeMenu->addAction(QStringLiteral("&Enable Range(s)"), this, [this] { SetRanges(true, false); });
    rangeMenu->addAction(QStringLiteral("Di&sable Range(s)"), this, [this] { SetRanges(false, false); });
    rangeMenu->addAction(QStringLiteral("&Delete Range(s)"), this, [this] { SetRanges(false, true); });
    connect(ranges, &QWidget::customContextMenuRequested, this,
            [ranges, rangeMenu](const QPoint& at) { rangeMenu->popup(ranges->viewport()->mapToGlobal(at)); });
    auto* add = new QPushButton(QStringLiteral("Add Range"));
    connect(add, &QPushButton::clicked, this, &MainWindow::AddRange);
    auto* remove = new QPushButton(QStringLiteral("Delete Range"));
    connect(remove, &QPushButton::clicked, this, [this] { SetRanges(false, true); });
    m_filterEnabled = new QCheckBox(QStringLiteral("Enable Affiliation Log Filter"));
    connect(m_filterEnabled, &QCheckBox::clicked, this,
            [this](bool on) { m_model.SetFilteringEnabled(on ? 1 : 0); });

    auto* filter = new QGroupBox(QStringLiteral("Affiliation Log Filter Options"));
    auto* fl = new QHBoxLayout(filter);
    fl->addWidget(ranges, 1);
    auto* buttons = Column({add, remove, m_filterEnabled}, -1);
    qobject_cast<QVBoxLayout*>(buttons->layout())->addStretch(1);
    fl->addWidget(buttons);
    filter->setMaximumHeight(150);
    return Column({log, LogButtons(LogKind::Affiliations, log, nullptr), filter});
}

QWidget* MainWindow::BuildAffiliationListTab()
{
    ListView* list = AddTextList({"TalkGroup", "Talkgroup Description", "Radio ID", "Radio Description",
                                  "Last Affiliation"},
                                 [this]() -> const std::vector<TextRow>& { return m_refresh.Affiliations.Rows(); },
                                 "affiliations");
    list->SetColumnWidths({70, 180, 80, 180});
    SortAndColor<TextRowModel, TextRow>(list, CompareAffiliationRows, [this](const TextRow& row, int position) {
        return AffiliationRowColors(m_config, row, position, ModelColorSource(m_model));
    });
    BindRowMenu(list, MenuList::AffiliationList);
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, list] {
        std::lock_guard guard(m_refresh.Mutex());
        m_rowMenu = PrepareRowMenu(MenuList::AffiliationList, TextModel(list)->RowAt(list->CurrentSourceRow()));
    });
    m_affiliateCount = new QLabel(QStringLiteral("0"));
    m_drawers[RefreshCycle::Section::Affiliations].push_back([this, list] {
        TextModel(list)->Rebuilt();
        m_tabs->SetCaption(static_cast<int>(WindowTab::AffiliationList), Q(m_refresh.AffiliationCaption));
        m_affiliateCount->setText(QString::number(m_refresh.Affiliations.Size()));
    });
    auto* refresh = new QPushButton(QStringLiteral("Refresh"));
    connect(refresh, &QPushButton::clicked, this, [this] {
        m_refresh.RebuildAffiliationList();
        RefreshDescriptions();
    });
    auto* bottom = new QWidget;
    auto* bl = new QHBoxLayout(bottom);
    bl->setContentsMargins(0, 0, 0, 0);
    bl->addWidget(new QLabel(QStringLiteral("Affiliate Count:")));
    bl->addWidget(m_affiliateCount);
    bl->addStretch(1);
    bl->addWidget(refresh);
    return Group(QStringLiteral("Site Affiliations"), Column({list, bottom}));
}

QWidget* MainWindow::BuildSiteTab()
{
    ListView* adjacent = AddTextList({"Site ID", "SysID", "Ch", "Frequency", "Site Name", "Status"},
                                     [this]() -> const std::vector<TextRow>& { return m_refresh.AdjacentSites; },
                                     "adjacentSites");
    OddEven(adjacent, m_config);
    m_drawers[RefreshCycle::Section::AdjacentSites].push_back([adjacent] { TextModel(adjacent)->Rebuilt(); });
    ListView* info = AddTextList({"Item", "Value"},
                                 [this]() -> const std::vector<TextRow>& { return m_refresh.SiteInformation; },
                                 "siteInformation");
    info->setColumnWidth(0, 150);
    m_drawers[RefreshCycle::Section::SystemInformation].push_back([info] { TextModel(info)->Rebuilt(); });
    ListView* tables = AddTextList({"ID", "S", "Base", "Spacing", "TX Offset", "Source", "Bandwidth"},
                                   [this]() -> const std::vector<TextRow>& { return m_refresh.IdentifierTables; },
                                   "identifierTables");
    OddEven(tables, m_config);
    m_drawers[RefreshCycle::Section::IdentifierTables].push_back([tables] { TextModel(tables)->Rebuilt(); });
    auto* lower = new QWidget;
    auto* ll = new QHBoxLayout(lower);
    ll->setContentsMargins(0, 0, 0, 0);
    ll->addWidget(Group(QStringLiteral("Site Information"), info), 2);
    ll->addWidget(Group(QStringLiteral("Frequency Identifier Tables"), tables), 3);
    return Column({Group(QStringLiteral("Adjacent Site Information"), adjacent), lower}, -1);
}

QWidget* MainWindow::BuildPatchesTab()
{
    ListView* list = AddTextList({"From-->To"}, [this]() -> const std::vector<TextRow>& { return m_refresh.PatchList; },
                                 "patchList");
    OddEven(list, m_config);
    m_drawers[RefreshCycle::Section::Patches].push_back([this, list] {
        TextModel(list)->Rebuilt();
        m_tabs->SetCaption(static_cast<int>(WindowTab::Patches), Q(m_refresh.PatchesCaption));
    });
    ListView* log = AddLogList(LogKind::PatchLog, {"Time Stamp", "Description"}, "patchLog");
    return Column({Group(QStringLiteral("Patch List"), list),
                   Group(QStringLiteral("Patch Log"), Column({log, LogButtons(LogKind::PatchLog, log, nullptr)}))},
                  1);
}

QWidget* MainWindow::BuildStatusPanels()
{
    auto panel = [this](const QString& title, std::initializer_list<const char*> labels) {
        auto* box = new QGroupBox(title);
        auto* form = new QGridLayout(box);
        form->setContentsMargins(6, 4, 6, 4);
        int row = 0;
        for (const char* label : labels) {
            form->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
            auto* value = new QLabel;
            value->setObjectName(QString::fromUtf8(label));
            form->addWidget(value, row++, 1);
            m_values[QString::fromUtf8(label)] = value;
        }
        return box;
    };
    m_systemPanel = panel(QStringLiteral("System Information"),
                          {"SysID:", "Description:", "Talkgroup ID Count:", "Radio ID Count:"});
    m_sitePanel = panel(QStringLiteral("Site Information:"),
                        {"RFSS:", "SITE:", "Status:", "WACN:", "Site Description:", "Flavor:"});
    m_decodePanel = new QGroupBox(QStringLiteral("Decode Information:"));
    m_decodePanel->setObjectName(QStringLiteral("decodePanel"));
    auto* dl = new QVBoxLayout(m_decodePanel);
    dl->setContentsMargins(6, 4, 6, 4);
    dl->addWidget(new QLabel(QStringLiteral("Receive Rate (%):")));
    m_values["Receive Rate (%):"] = new QLabel(QStringLiteral("  0% (0 out of 0)"));
    m_values["Receive Rate (%):"]->setObjectName(QStringLiteral("Receive Rate (%):"));
    dl->addWidget(m_values["Receive Rate (%):"]);
    m_rateBar = new QProgressBar;
    m_rateBar->setRange(0, 100);
    m_rateBar->setValue(0);
    m_rateBar->setTextVisible(false);
    m_rateBar->setMaximumHeight(14);
    static const QColor barColors[] = {QColor(), Qt::black, Qt::red, Qt::green, Qt::yellow, Qt::blue, Qt::white};
    if (m_config.DecodeBarColor > 0 && m_config.DecodeBarColor < 7) {
        QPalette palette = m_rateBar->palette();
        palette.setColor(QPalette::Highlight, barColors[m_config.DecodeBarColor]);
        m_rateBar->setPalette(palette);
    }
    dl->addWidget(m_rateBar);
    m_rateChart = new RateChart;
    m_rateChart->setObjectName(QStringLiteral("rateChart"));
    dl->addWidget(m_rateChart);
    auto* buffer = new QHBoxLayout;
    buffer->addWidget(new QLabel(QStringLiteral("Buffer Available:")));
    m_values["Buffer Available:"] = new QLabel(QStringLiteral("100%"));
    buffer->addWidget(m_values["Buffer Available:"]);
    dl->addLayout(buffer);
    m_panels = new QWidget;
    m_panels->setFixedWidth(PanelWidth);
    auto* pl = new QVBoxLayout(m_panels);
    pl->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : {static_cast<QWidget*>(m_systemPanel), static_cast<QWidget*>(m_sitePanel),
                       static_cast<QWidget*>(m_decodePanel)})
        pl->addWidget(w);
    pl->addStretch(1);
    for (auto& [name, label] : m_values)
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return m_panels;
}

QWidget* MainWindow::BuildStatusLine()
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const char* name : {"System:", "Site:", "Decode:", "TGIDs:", "RIDs:", "Status:"}) {
        auto* field = new QWidget;
        auto* fl = new QHBoxLayout(field);
        fl->setContentsMargins(0, 0, 8, 0);
        fl->addWidget(new QLabel(QString::fromUtf8(name)));
        auto* value = new QLabel;
        value->setObjectName(QStringLiteral("compact ") + QString::fromUtf8(name));
        m_values[QStringLiteral("compact ") + QString::fromUtf8(name)] = value;
        fl->addWidget(value);
        m_compactFields[QString::fromUtf8(name)] = field;
        layout->addWidget(field);
    }
    m_replayLabel = new QLabel;
    m_replayLabel->setObjectName(QStringLiteral("replayProgress"));
    layout->addWidget(m_replayLabel);
    m_eventNotice = new QLabel;
    m_eventNotice->setObjectName(QStringLiteral("eventNotice"));
    // A long notice is cut off at the button instead of widening the window.
    m_eventNotice->setMinimumWidth(1);
    layout->addWidget(m_eventNotice);
    layout->addStretch(1);
    m_eventsDropped = new QLabel;
    m_eventsDropped->setObjectName(QStringLiteral("eventsDropped"));
    m_eventsDropped->hide();
    layout->addWidget(m_eventsDropped);
    m_backupLabel = new QLabel(QStringLiteral("*Backup In Progress*"));
    m_backupLabel->hide();
    m_importLabel = new QLabel(QStringLiteral("*Import In Progress*"));
    m_importLabel->hide();
    layout->addWidget(m_backupLabel);
    layout->addWidget(m_importLabel);
    m_startStop = new QPushButton(QStringLiteral("Read Data From Radio"));
    m_startStop->setObjectName(QStringLiteral("startStop"));
    m_startStop->setMinimumWidth(140);
    connect(m_startStop, &QPushButton::clicked, this, [this] {
        if (m_controller.IsReplaying())
            m_controller.ReplayRequestStop();
        else if (m_controller.DecodeActive())
            StopDecodeSession();
        else
            StartDecodeSession();
    });
    layout->addWidget(m_startStop);
    return line;
}

void MainWindow::ApplyTabVisibility()
{
    for (int tab = 0; tab < m_tabs->count(); ++tab)
        m_tabs->SetShown(tab, IsTabVisible(m_config, static_cast<WindowTab>(tab)));
}

void MainWindow::ApplyLayout()
{
    const StatusVisibility show = StatusLayout(m_config.HideSystemInfo, width(), height());
    m_panels->setVisible(!m_config.HideSystemInfo);
    m_systemPanel->setVisible(show.SystemPanel);
    m_sitePanel->setVisible(show.SitePanel);
    m_decodePanel->setVisible(show.DecodePanel);
    m_compactFields["System:"]->setVisible(show.SystemField);
    m_compactFields["Site:"]->setVisible(show.SiteField);
    m_compactFields["Decode:"]->setVisible(show.DecodeField);
    m_compactFields["TGIDs:"]->setVisible(show.TgidsField);
    m_compactFields["RIDs:"]->setVisible(show.RidsField);
    m_compactFields["Status:"]->setVisible(show.StatusField);
    const ActivityExtras extras = ActivityLayout(m_config.ShowGrantLog, m_config.ShowPatchList);
    m_patchGroup->setVisible(extras.PatchList);
    m_grantGroup->setVisible(extras.RecentGrants);
    // The controls go beside the lists whenever the tab is wide enough for both.
    m_activityControls->SetListsShown(extras.PatchList || extras.RecentGrants);
}
