#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <utility>

#include "ui/HoldPrompt.h"
#include "ui/ListModels.h"
#include "ui/QtText.h"
#include "ui/RateChart.h"
#include "ui/MainWindow.h"

#include "platform/Version.h"

namespace {


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
    kinds->setCurrentIndex(0);
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
        m_backupTimer.start(Controller::FirstBackupCheckMs);
}

void MainWindow::RefreshTick()
{
    m_deferDrawing = true;
    m_controller.RefreshStep();
    m_deferDrawing = false;
    // The core refreshes every tick; the lists are drawn at most DrawIntervalMs apart, as a
    // busy replay changes them every tick and nobody sees a hundred pictures a second.
    if (m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < DrawIntervalMs)
        return PollStops();
    m_sinceDrawn.start();
    DrawPending();
    if (m_controller.IsReplaying()) {
        const ReplayProgress p = m_controller.ReplayResult().Progress;
        const int percent = p.TotalBytes ? static_cast<int>(p.BytesRead * 100 / p.TotalBytes) : 100;
        m_replayLabel->setText(QStringLiteral("Replay: %1%, %2 blocks").arg(percent).arg(p.Blocks));
    }
    PollStops();
}

void MainWindow::PollStops()
{
    if (m_controller.PortErrorStopDue())
        m_startStop->click();
    if (m_controller.IsStopping() && m_controller.StopPoll() && m_controller.StopFinish())
        FinishSession();
    if (m_controller.ClosingDown() && !m_closed && m_controller.ClosePoll())
        close();
}

void MainWindow::DrawPending()
{
    const std::vector<RefreshCycle::Section> sections = std::exchange(m_pendingSections, {});
    for (RefreshCycle::Section section : sections)
        SectionDrawn(section);
    for (auto& [kind, view] : m_logViews) {
        static_cast<LogRowModel*>(view->Source())->Sync();
        view->ScrollIfFollowing();
    }
}

void MainWindow::SectionDrawn(RefreshCycle::Section section)
{
    if (m_deferDrawing) {
        if (std::find(m_pendingSections.begin(), m_pendingSections.end(), section) == m_pendingSections.end())
            m_pendingSections.push_back(section);
        return;
    }
    if (section == RefreshCycle::Section::Counts) {
        // A replay's processing thread writes the labels between blocks.
        std::lock_guard guard(m_refresh.Mutex());
        const SystemLabels& l = m_refresh.Labels;
        for (const char* name : {"Talkgroup ID Count:", "compact TGIDs:"})
            m_values[QString::fromUtf8(name)]->setText(Q(l.TalkgroupCount));
        for (const char* name : {"Radio ID Count:", "compact RIDs:"})
            m_values[QString::fromUtf8(name)]->setText(Q(l.RadioCount));
    }
    if (section == RefreshCycle::Section::SystemInformation) {
        std::lock_guard guard(m_refresh.Mutex());
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

void MainWindow::OneSecond(bool chart)
{
    const DecodeFigures figures = m_controller.OneSecond();
    m_values["Receive Rate (%):"]->setText(Q(figures.Rate.RateText));
    m_values["compact Decode:"]->setText(Q(figures.Rate.DecodeText));
    m_rateBar->setValue(figures.Rate.Bar);
    m_values["Buffer Available:"]->setText(Q(figures.Buffer));
    if (!m_controller.IsReplaying())
        m_replayLabel->setText(Q(figures.Notice));
    m_eventStatus.Second(figures.EventNotices, figures.EventsDropped);
    // A history that cannot be written is told once in a box of its own: unlike a broker
    // that comes back, it needs the user. Decoding goes on behind it.
    for (const std::string& notice : figures.EventNotices)
        if (notice.starts_with(HistoryNoticePrefix)) {
            auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("History"), Q(notice), QMessageBox::Ok,
                                        this);
            box->setObjectName(QStringLiteral("historyProblem"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setModal(false);
            box->show();
        }
    m_eventNotice->setText(Q(m_eventStatus.NoticeText()));
    m_eventNotice->setToolTip(m_eventNotice->text());
    m_eventsDropped->setText(Q(m_eventStatus.DroppedText()));
    m_eventsDropped->setVisible(!m_eventStatus.DroppedText().empty());
    if (!chart)
        return;
    // The totals start again with each session and replay.
    const uint64_t crcFailures = m_controller.Totals().CrcFailures;
    m_rateChart->Add(figures.Rate.Bar, crcFailures >= m_lastCrcFailures ? crcFailures - m_lastCrcFailures : crcFailures);
    m_lastCrcFailures = crcFailures;
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
    m_controller.SetConfig(m_config);
}

void MainWindow::AutoSaveTick()
{
    m_autoSaveTimer.stop();
    TakeAutoSaveBoxes();
    if (m_controller.IsAutoSaveDue()) {
        m_autoSaving = true;
        UpdateCaption();
        std::string errors;
        if (!m_controller.AutoSavePass(errors))
            Report(errors);
        m_autoSaving = false;
        UpdateCaption();
    }
    if (m_controller.AutoSaveTimerOn())
        m_autoSaveTimer.start(Controller::AutoSaveIntervalMs);
}

void MainWindow::BackupTick()
{
    std::string errors;
    switch (m_controller.BackupTimerFired(errors)) {
    case BackupStep::StopTimer: m_backupTimer.stop(); break;
    case BackupStep::CheckLater: m_backupTimer.start(static_cast<int>(m_controller.BackupIntervalMs())); break;
    case BackupStep::StartBackup:
        m_backupTimer.stop();
        m_backupLabel->show();
        break;
    }
    Report(errors);
}

void MainWindow::SaveLog(LogKind kind)
{
    std::string errors;
    if (!m_controller.SaveLog(kind, errors))
        Report(errors);
}

void MainWindow::Report(const std::string& errors)
{
    if (!errors.empty())
        m_prompter.Tell(this, QStringLiteral("Error"), Q(errors));
}

void MainWindow::StartDecodeSession()
{
    m_startStop->setEnabled(false);
    TakeAutoSaveBoxes();
    if (m_controller.StartDecodeSession()) {
        m_startStop->setText(QStringLiteral("Stop Data Decode"));
        m_autoSaveTimer.start(Controller::AutoSaveIntervalMs);
        m_readRadio->setEnabled(false);
        m_stopRadio->setEnabled(true);
        m_oneSecondTimer.start(Controller::FigureIntervalMs);
    }
    m_startStop->setEnabled(true);
}

bool MainWindow::StopDecodeSession()
{
    m_startStop->setEnabled(false);
    if (m_config.Confirmations &&
        !m_prompter.Ask(this, QString::fromUtf8(ControllerTexts::StopQuestionCaption),
                        QString::fromUtf8(ControllerTexts::StopQuestion))) {
        m_startStop->setEnabled(true);
        return false;
    }
    TakeAutoSaveBoxes();
    std::string errors;
    m_controller.StopBegin(errors);
    Report(errors);
    if (!m_controller.AutoSaveTimerOn())
        m_autoSaveTimer.stop();
    // The threads end on their own; the refresh timer finishes the stop.
    PollStops();
    return true;
}

void MainWindow::FinishSession()
{
    m_startStop->setText(QStringLiteral("Read Data From Radio"));
    OneSecond(false);
    m_readRadio->setEnabled(true);
    m_stopRadio->setEnabled(false);
    m_startStop->setEnabled(true);
}

void MainWindow::ReadDataFromFile()
{
    if (!m_controller.ReplayBegin()) {
        m_prompter.Tell(this, QString::fromUtf8(ControllerTexts::ReplayRefusedCaption),
                        QString::fromUtf8(ControllerTexts::ReplayRefused));
        return;
    }
    m_startStop->setEnabled(false);
    const QString path = chooseCaptureFile
                             ? chooseCaptureFile()
                             : QFileDialog::getOpenFileName(
                                   this, QString(), QString(),
                                   QStringLiteral("All Supported Files (*.p25,*.log,*.txt) (*.p25 *.log *.txt);;"
                                                  "Anritsu P25 Data File (*.p25) (*.p25);;Log Files (*.log) (*.log);;"
                                                  "Text Files (*.txt) (*.txt);;All Files (*.*) (*)"),
                                   nullptr, QFileDialog::HideNameFilterDetails);
    std::string error;
    std::optional<CaptureKind> kind;
    if (!path.isEmpty() && !m_controller.ReplayOpen(path.toStdString(), error))
        m_prompter.Tell(this, QString::fromUtf8(ControllerTexts::OpenErrorCaption), Q(error));
    else if (!path.isEmpty())
        kind = chooseCaptureKind ? chooseCaptureKind() : AskCaptureKind(this);
    if (kind && m_controller.ReplayStart(*kind))
        ReplayStarted();
    else
        m_controller.ReplayCancel();
    m_startStop->setEnabled(true);
}

void MainWindow::StartReplay(const QString& path, CaptureKind kind)
{
    std::string error;
    if (!m_controller.ReplayBegin())
        return;
    if (!m_controller.ReplayOpen(path.toStdString(), error)) {
        m_controller.ReplayCancel();
        m_prompter.Tell(this, QString::fromUtf8(ControllerTexts::OpenErrorCaption), Q(error));
        return;
    }
    if (m_controller.ReplayStart(kind))
        ReplayStarted();
    else
        m_controller.ReplayCancel();
}

void MainWindow::ReplayStarted()
{
    m_readRadio->setEnabled(false);
    m_startStop->setText(QStringLiteral("Stop Data Decode"));
    if (m_controller.AutoSaveTimerOn())
        m_autoSaveTimer.start(Controller::AutoSaveIntervalMs);
}

void MainWindow::ReplayEnded()
{
    // A close ended it: the close finishes it, with no notice over a window that is going.
    if (m_controller.ClosingDown() || !m_controller.IsReplaying() || !m_controller.PollReplayEnded())
        return;
    TakeAutoSaveBoxes();
    std::string errors;
    m_controller.ReplayStopSaves(errors);
    if (!m_controller.AutoSaveTimerOn())
        m_autoSaveTimer.stop();
    if (!m_controller.ReplayFinish())
        return;
    m_refresh.DrainLogs();
    m_refresh.RequestFullRedraw = true;
    m_sinceDrawn.invalidate();
    RefreshTick();
    m_replayLabel->clear();
    m_readRadio->setEnabled(true);
    m_stopRadio->setEnabled(false);
    m_startStop->setText(QStringLiteral("Read Data From Radio"));
    Report(errors);
    m_prompter.Tell(this, QString::fromUtf8(ControllerTexts::ReplayDoneCaption),
                    QString::fromUtf8(ControllerTexts::ReplayDone));
    m_startStop->setEnabled(true);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (CloseWaitsForDirectory()) {
        event->ignore();
        return;
    }
    if (!m_controller.ClosingDown()) {
        m_oneSecondTimer.stop();
        m_autoSaveTimer.stop();
        if (m_config.SaveScreenSizes) {
            m_config.Maximized = isMaximized();
            if (!isMaximized()) {
                m_config.Left = geometry().x();
                m_config.Top = geometry().y();
                m_config.Width = width();
                m_config.Height = height();
            }
            TakeColumnWidths();
            m_controller.SetSettings(m_config, m_extra);
        }
        TakeAutoSaveBoxes();
        std::string errors;
        if (!m_unattended && m_controller.IsExitSaveQuestionDue() &&
            m_prompter.Ask(this, QString::fromUtf8(ControllerTexts::ExitSaveQuestionCaption),
                           QString::fromUtf8(ControllerTexts::ExitSaveQuestion)))
            m_controller.SaveAtExit(errors);
        m_controller.CloseBegin(errors);
        Report(errors);
    }
    if (!m_controller.ClosePoll()) {
        // The threads end on their own; the refresh timer closes the window again then.
        event->ignore();
        return;
    }
    m_refreshTimer.stop();
    std::string errors;
    m_controller.CloseFinish(errors);
    m_closed = true;
    event->accept();
}

void MainWindow::ToggleHold()
{
    m_holdButton->setEnabled(false);
    if (m_controller.HeldTalkgroup() == -1) {
        const QString prefill = Q(HoldPromptText(m_controller.LastFollowedTalkgroup()));
        std::optional<int> held;
        if (askHoldTalkgroup) {
            held = askHoldTalkgroup(prefill);
        } else {
            if (const std::optional<QString> text = AskHoldTalkgroup(this, prefill))
                held = HoldTalkgroupFrom(text->toStdString());
        }
        if (held)
            SetHold(*held);
    } else {
        SetHold(-1);
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
    if (held)
        SetHold(*held);
}

void MainWindow::SetHold(int talkgroup)
{
    m_controller.SetHeldTalkgroup(talkgroup);
    m_holdButton->setText(talkgroup == -1 ? QStringLiteral("Hold TalkGroup") : QStringLiteral("Release Hold"));
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
