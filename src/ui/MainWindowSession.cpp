#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <chrono>

#include "ui/ListModels.h"
#include "ui/MainWindow.h"
#include "platform/Version.h"

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

constexpr int AutoSaveIntervalMs = 60000;
constexpr int BackupFirstCheckMs = 5000;

std::optional<CaptureKind> AskCaptureKind(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Select File Type"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(
        QStringLiteral("Please select the file type from the options below and click the continue button."));
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* form = new QFormLayout;
    auto* kinds = new QComboBox;
    for (int kind = 0; kind < CaptureKindCount; ++kind)
        kinds->addItem(QString::fromUtf8(CaptureKindText(static_cast<CaptureKind>(kind))));
    kinds->setCurrentIndex(static_cast<int>(CaptureKind::ZembrantDump));
    form->addRow(QStringLiteral("File Type:"), kinds);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Continue"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return static_cast<CaptureKind>(kinds->currentIndex());
}

// A fixed form of labels and a "Close" button.
void ShowTextDialog(QWidget* parent, const QString& title, const QStringList& lines)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    for (const QString& line : lines) {
        auto* label = new QLabel(line);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto* close = new QPushButton(QStringLiteral("Close"));
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog.exec();
}

} // namespace

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        QMetaObject::invokeMethod(this, [this] { FirstActivation(); }, Qt::QueuedConnection);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_tabs)
        ApplyLayout();
}

void MainWindow::FirstActivation()
{
    if (m_config.SaveScreenSizes && m_config.Width > 0 && m_config.Height > 0) {
        const QRect area = screen()->availableGeometry();
        const WindowBounds fitted = FitIntoWorkArea({m_config.Left, m_config.Top, m_config.Width, m_config.Height},
                                                    {area.x(), area.y(), area.width(), area.height()});
        setGeometry(fitted.Left, fitted.Top, fitted.Width, fitted.Height);
        if (m_config.Maximized)
            showMaximized();
    }
    for (int click = 0; click < m_commandLine.DecodeClicks; ++click)
        m_startStop->click();
    if (m_config.BackupEnabled)
        m_backupTimer.start(BackupFirstCheckMs);
}

void MainWindow::RefreshTick()
{
    m_refresh.RunCycle({m_decodeActive, m_heldTalkgroup, m_config.PsrDumpVisible});
    for (auto& [kind, view] : m_logViews) {
        static_cast<LogRowModel*>(view->Source())->Sync();
        view->ScrollIfFollowing();
    }
    if (m_replay) {
        const ReplayProgress p = m_replay->Progress();
        const int percent = p.TotalBytes ? static_cast<int>(p.BytesRead * 100 / p.TotalBytes) : 100;
        m_replayLabel->setText(QStringLiteral("Replay: %1%, %2 blocks").arg(percent).arg(p.Blocks));
    }
}

void MainWindow::SectionDrawn(RefreshCycle::Section section)
{
    if (section == RefreshCycle::Section::SystemInformation) {
        const SystemLabels& l = m_refresh.Labels;
        const std::pair<const char*, const std::string*> values[] = {
            {"SysID:", &l.SysId},
            {"Description:", &l.SystemDescription},
            {"Talkgroup ID Count:", &l.TalkgroupCount},
            {"Radio ID Count:", &l.RadioCount},
            {"RFSS:", &l.Rfss},
            {"SITE:", &l.Site},
            {"Status:", &l.Status},
            {"WACN:", &l.Wacn},
            {"Site Description:", &l.SiteDescription},
            {"Flavor:", &l.Flavor},
            {"compact System:", &l.SystemField},
            {"compact Site:", &l.SiteField},
            {"compact TGIDs:", &l.TalkgroupCount},
            {"compact RIDs:", &l.RadioCount},
            {"compact Status:", &l.StatusLine},
        };
        for (const auto& [name, value] : values)
            m_values[QString::fromUtf8(name)]->setText(Q(*value));
    }
    for (auto& draw : m_drawers[section])
        draw();
}

void MainWindow::OneSecond()
{
    ReceiveCounters& counters = m_session.Counters();
    const ReceiveRate rate = ReceiveRateFigures(counters.BlocksExpected.exchange(0), counters.BlocksReceived.exchange(0));
    m_values["Receive Rate (%):"]->setText(Q(rate.RateText));
    m_values["compact Decode:"]->setText(Q(rate.DecodeText));
    m_rateBar->setValue(rate.Bar);
    m_values["Buffer Available:"]->setText(Q(BufferText(m_queue.FreePercent())));
}

void MainWindow::UpdateCaption()
{
    const QString title = QStringLiteral("P25 Control Channel Information Display");
    setWindowTitle(m_autoSaving ? title + QStringLiteral(" *") : title);
}

bool* MainWindow::AutoSaveSetting(CONFIG& config, LogKind kind)
{
    switch (kind) {
    case LogKind::PacketDump: return &config.PktDumpAutoSave;
    case LogKind::UnknownPackets: return &config.UnknownsAutoSave;
    case LogKind::GrantTrace: return &config.GrantsAutoSave;
    case LogKind::OtherEvents: return &config.OtherInfoAutoSave;
    case LogKind::PatchLog: return &config.PatchesAutoSave;
    case LogKind::Affiliations: return &config.AffiliationsAutoSave;
    case LogKind::RawDump: return &config.PsrDumpAutoSave;
    case LogKind::RecentGrants: break;
    }
    return nullptr;
}

void MainWindow::TakeAutoSaveBoxes()
{
    for (const auto& [kind, box] : m_autoSave)
        if (bool* setting = AutoSaveSetting(m_config, kind))
            *setting = box->isChecked();
}

void MainWindow::AutoSaveTick()
{
    m_autoSaveTimer.stop();
    if (m_model.GetSystemId() != 0) {
        m_autoSaving = true;
        UpdateCaption();
        TakeAutoSaveBoxes();
        m_session.SetConfig(m_config);
        std::string errors;
        if (!m_session.AutoSavePass(errors))
            Report(errors);
        m_autoSaving = false;
        UpdateCaption();
    }
    m_autoSaveTimer.start(AutoSaveIntervalMs);
}

void MainWindow::BackupTick()
{
    // The backup thread is not part of the window yet; only the check runs.
    m_backupTimer.stop();
    if (m_config.BackupEnabled)
        m_backupTimer.start(m_config.BackupCheckTime * 60 * 1000);
}

void MainWindow::SaveLog(LogKind kind)
{
    std::string errors;
    if (!m_session.SaveLog(kind, errors))
        Report(errors);
}

void MainWindow::Report(const std::string& errors)
{
    if (!errors.empty())
        m_prompter.Tell(this, QStringLiteral("Error"), Q(errors));
}

void MainWindow::ClearLists()
{
    std::lock_guard guard(m_refresh.Mutex());
    for (int kind = 0; kind < LogKindCount; ++kind)
        m_refresh.Logs.List(static_cast<LogKind>(kind)).Clear();
    m_refresh.Affiliations.Clear();
    m_refresh.RequestFullRedraw = true;
}

void MainWindow::StartDecodeSession()
{
    m_startStop->setEnabled(false);
    ClearLists();
    m_model.SetClock(Clock::System());
    m_startStop->setText(QStringLiteral("Stop Data Decode"));
    m_decodeActive = true;
    m_session.SetConfig(m_config);
    m_session.StartDecodeSession(m_config);
    if (m_config.AutoSaveEnabled)
        m_session.LastSystemSave = m_model.Now();
    m_autoSaveTimer.start(AutoSaveIntervalMs);
    m_readRadio->setEnabled(false);
    m_stopRadio->setEnabled(true);
    m_oneSecondTimer.start(1000);
    m_startStop->setEnabled(true);
}

bool MainWindow::StopDecodeSession()
{
    m_startStop->setEnabled(false);
    if (m_config.Confirmations &&
        !m_prompter.Ask(this, QStringLiteral("Stop Decode"),
                        QStringLiteral("Are you sure you want to stop the data decode session?"))) {
        m_startStop->setEnabled(true);
        return false;
    }
    m_decodeActive = false;
    std::string errors;
    m_session.SetConfig(m_config);
    m_session.StopDecodeSession(errors);
    Report(errors);
    if (m_config.LogSaveOnDecodeStop)
        m_autoSaveTimer.stop();
    FinishSession();
    return true;
}

void MainWindow::FinishSession()
{
    m_startStop->setText(QStringLiteral("Read Data From Radio"));
    m_session.Counters().BlocksExpected = 0;
    m_session.Counters().BlocksReceived = 0;
    OneSecond();
    m_readRadio->setEnabled(true);
    m_stopRadio->setEnabled(false);
    m_startStop->setEnabled(true);
}

void MainWindow::ReadDataFromFile()
{
    if (m_decodeActive) {
        m_prompter.Tell(this, QStringLiteral("Unable to read file"),
                        QStringLiteral("Zembrant is currently actively decoding from a scanner or another file.\n\n"
                                       "To decode from a file, stop the current decode process and then try again."));
        return;
    }
    const QString path = chooseCaptureFile
                             ? chooseCaptureFile()
                             : QFileDialog::getOpenFileName(
                                   this, QString(), QString(),
                                   QStringLiteral("All Supported Files (*.p25,*.log,*.txt) (*.p25 *.log *.txt);;"
                                                  "Anritsu P25 Data File (*.p25) (*.p25);;Log Files (*.log) (*.log);;"
                                                  "Text Files (*.txt) (*.txt);;All Files (*.*) (*)"));
    if (path.isEmpty())
        return;
    const std::optional<CaptureKind> kind = chooseCaptureKind ? chooseCaptureKind() : AskCaptureKind(this);
    if (kind)
        StartReplay(path, *kind);
}

void MainWindow::StartReplay(const QString& path, CaptureKind kind)
{
    if (m_decodeActive)
        return;
    m_startStop->setEnabled(false);
    m_replayClock = std::make_unique<ManualClock>(Clock::System().Now());
    m_model.SetClock(*m_replayClock);
    m_model.ResetModel();
    ClearLists();
    m_replay = std::make_unique<CaptureReplay>(m_queue, m_model, *m_replayClock, &m_session.Counters());
    std::string error;
    if (!m_replay->Open(path.toStdString(), kind, error)) {
        m_replay.reset();
        m_prompter.Tell(this, QStringLiteral("Open Error"), Q(error));
        m_startStop->setEnabled(true);
        return;
    }
    m_replay->SetBlockHandler([this] { m_refresh.TakeLogsBetweenBlocks(); });
    m_replay->SetTickHandler([this] {
        m_model.ExpireChannelActivity();
        m_model.ExpirePatches();
    });
    m_refresh.onListFilling = [this](LogKind list) {
        if (DecodeSession::IsLogAutoSaved(m_config, list)) {
            std::string errors;
            m_session.SaveLog(list, errors);
        }
    };
    m_replay->onEnded = [this] { QMetaObject::invokeMethod(this, [this] { ReplayEnded(); }, Qt::QueuedConnection); };
    m_decodeActive = true;
    m_readRadio->setEnabled(false);
    m_startStop->setText(QStringLiteral("Stop Data Decode"));
    m_replay->Start(false);
    m_startStop->setEnabled(true);
}

void MainWindow::ReplayEnded()
{
    if (!m_replay)
        return;
    m_replay->Stop();
    m_refresh.onListFilling = nullptr;
    m_refresh.DrainLogs();
    m_refresh.RequestFullRedraw = true;
    RefreshTick();
    m_replay.reset();
    m_replayLabel->clear();
    m_decodeActive = false;
    m_readRadio->setEnabled(true);
    m_stopRadio->setEnabled(false);
    m_startStop->setText(QStringLiteral("Read Data From Radio"));
    m_prompter.Tell(this, QStringLiteral("Complete"), QStringLiteral("Decode Finished!"));
    m_startStop->setEnabled(true);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_closingDown = true;
    m_oneSecondTimer.stop();
    m_autoSaveTimer.stop();
    if (m_replay) {
        m_replay->Stop();
        m_replay.reset();
    }
    if (m_session.IsActive()) {
        std::string errors;
        m_session.SetConfig(m_config);
        m_session.CloseDecodeSession(errors);
    }
    m_decodeActive = false;
    m_refreshTimer.stop();
    if (m_config.SaveScreenSizes) {
        m_config.Maximized = isMaximized();
        if (!isMaximized()) {
            m_config.Left = geometry().x();
            m_config.Top = geometry().y();
            m_config.Width = width();
            m_config.Height = height();
        }
    }
    TakeAutoSaveBoxes();
    std::string error;
    SaveConfiguration(m_config, m_extra, error);
    event->accept();
}

void MainWindow::ToggleHold()
{
    m_holdButton->setEnabled(false);
    if (m_heldTalkgroup == -1) {
        const QString prefill = Q(HoldPromptText(m_session.LastFollowedTalkgroup()));
        std::optional<int> held;
        if (askHoldTalkgroup) {
            held = askHoldTalkgroup(prefill);
        } else {
            bool ok = false;
            const QString text = QInputDialog::getText(this, QStringLiteral("Hold TalkGroup"),
                                                       QStringLiteral("Talkgroup:"), QLineEdit::Normal, prefill, &ok);
            if (ok)
                held = HoldTalkgroupFrom(text.toStdString());
        }
        if (held) {
            m_heldTalkgroup = *held;
            m_holdButton->setText(QStringLiteral("Release Hold"));
        }
    } else {
        m_heldTalkgroup = -1;
        m_holdButton->setText(QStringLiteral("Hold TalkGroup"));
    }
    m_holdButton->setEnabled(true);
}

void MainWindow::ActivityDoubleClicked()
{
    ListView* activity = List(QStringLiteral("activity"));
    std::optional<int> held;
    {
        std::lock_guard guard(m_refresh.Mutex());
        const TextRow* row = static_cast<TextRowModel*>(activity->Source())->RowAt(activity->CurrentSourceRow());
        if (row)
            held = HoldTalkgroupFrom(CellAt(*row, ActivityColumn::TlkGrp));
    }
    if (!held)
        return;
    m_heldTalkgroup = *held;
    m_holdButton->setText(QStringLiteral("Release Hold"));
}

void MainWindow::AddRange()
{
    std::optional<std::pair<QString, QString>> range;
    if (askRange) {
        range = askRange();
    } else {
        QDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("AddRangeForm"));
        auto* layout = new QFormLayout(&dialog);
        layout->addRow(new QLabel(
            QStringLiteral("Enter the range of radio IDs you wish to see in the affiliation log. ")));
        auto* low = new QLineEdit;
        auto* high = new QLineEdit;
        layout->addRow(QStringLiteral("Low Radio ID:"), low);
        layout->addRow(QStringLiteral("High Radio ID:"), high);
        auto* buttons = new QDialogButtonBox;
        buttons->addButton(QStringLiteral("Add Range"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addRow(buttons);
        if (dialog.exec() == QDialog::Accepted)
            range = std::make_pair(low->text(), high->text());
    }
    if (!range)
        return;
    const int low = range->first.trimmed().toInt();
    const int high = range->second.trimmed().toInt();
    if (high < low) {
        m_prompter.Tell(this, QStringLiteral("Range Error"),
                        QStringLiteral("The low value may not be higher than the high value"));
        return;
    }
    m_model.SetFilterRange(1, low, high);
}

void MainWindow::SetRanges(bool active, bool remove)
{
    ListView* ranges = List(QStringLiteral("filterRanges"));
    std::vector<std::pair<int, int>> chosen;
    {
        std::lock_guard guard(m_refresh.Mutex());
        for (const QModelIndex& index : ranges->selectionModel()->selectedRows()) {
            const TextRow* row = static_cast<TextRowModel*>(ranges->Source())->RowAt(
                ranges->Proxy()->mapToSource(index).row());
            if (row)
                chosen.emplace_back(std::atoi(std::string(CellAt(*row, FilterColumn::Low)).c_str()),
                                    std::atoi(std::string(CellAt(*row, FilterColumn::High)).c_str()));
        }
    }
    for (const auto& [low, high] : chosen) {
        if (remove)
            m_model.DeleteFilterRange(low, high);
        else
            m_model.SetFilterRange(active ? 1 : 0, low, high);
    }
}

void MainWindow::ShowAbout()
{
    ShowTextDialog(this, QStringLiteral("About Zembrant"),
                   {QStringLiteral("Zembrant"),
                    QStringLiteral("Zembrant decodes the control channel of an APCO Project 25 trunked radio system "
                                   "from a scanner or a capture file and shows the site, its neighbours, the calls, "
                                   "affiliations and patches as they happen."),
                    QStringLiteral("Supported scanners: GRECOM PSR-500, PSR-600, PSR-800; Uniden BCD-396TX and "
                                   "BCD-996XT; Uniden Pro-96; Anritsu S412D."),
                    Q(AboutVersionText(ProgramVersion()))});
}

void MainWindow::ShowUsage()
{
    ShowTextDialog(this, QStringLiteral("Frequency Usage Codes"),
                   {QStringLiteral("Frequencies on a trunked system sometimes have special uses.  The usage field "
                                   "will list all types of transmissions that have been seen by Zembrant on each "
                                   "frequency in the system."),
                    QStringLiteral("Below is a listing of all of the possible letter codes for the usage field."),
                    QStringLiteral("a - This frequency is designated as an alternate control channel."),
                    QStringLiteral("c - This frequency has been used as a control channel for this tower."),
                    QStringLiteral("d - This frequency has been used to transmit data."),
                    QStringLiteral("i - This frequency has been used to transmit system ID information."),
                    QStringLiteral("p - This frequency has been used for private calls."),
                    QStringLiteral("t - This frequency has been used for a telephone interconnect."),
                    QStringLiteral("v - This frequency has been used to carry voice")});
}
