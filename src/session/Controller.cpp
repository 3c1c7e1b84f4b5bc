#include "session/Controller.h"

#include "history/HistoryStore.h"

#include "input/KavriReadThread.h"
#include "scanner/FollowLogic.h"

Controller::Controller(Clock& liveClock)
    : m_liveClock(liveClock), m_clock(liveClock), m_model(m_clock), m_refresh(m_model),
      m_session(m_model, m_queue, m_refresh)
{
    m_model.SetOnFolderLoaded([this] { m_changes.Loaded(); });
    m_refresh.follow = [this](std::span<const FreqInfo> channels, std::span<const PATCHREC> patches,
                              const RefreshCycle::Inputs& inputs) {
        return FollowStep(channels, patches, inputs.HeldTalkgroup);
    };
    m_refresh.popRawLine = [this](std::string& line) {
        TKavri* reader = m_session.Reader();
        if (!reader || !reader->HasRawLines())
            return false;
        line = reader->PopRawLine();
        return true;
    };
    m_session.onPortError = [this](const std::string& text) {
        if (onPortError)
            onPortError(text);
    };
    m_session.onScannerNotice = [this](const std::string& text) {
        if (onScannerNotice)
            onScannerNotice(text);
    };
}

Controller::~Controller()
{
    // The replay's threads read the replay clock: end them before the model leaves it.
    if (m_replay)
        m_replay->Stop();
    m_replay.reset();
    m_clock.Use(m_liveClock);
    m_backup.reset();
}

CONFIG Controller::Config() const
{
    std::lock_guard guard(m_configMutex);
    return m_config;
}

void Controller::SetConfig(const CONFIG& config)
{
    SetSettings(config, m_extra);
}

void Controller::SetSettings(const CONFIG& config, const EXTRASETTINGS& extra)
{
    {
        std::lock_guard guard(m_configMutex);
        // The backup's time is the controller's own: a front end's older copy of the
        // settings must not take it back, or a due backup would run at every start.
        const int64_t lastBackup = std::max(m_config.LastBackup, config.LastBackup);
        m_config = config;
        m_config.LastBackup = lastBackup;
    }
    if (&extra != &m_extra)
        m_extra = extra;
    m_rawDumpOn = config.PsrDumpVisible;
    m_session.SetConfig(config);
    ApplySettingsToModel();
    ApplyEventOutputs();
}

void Controller::ApplyEventOutputs()
{
    const CONFIG config = Config();
    std::optional<MqttSettings> wanted = m_mqttOverride;
    if (!wanted && config.MqttEnabled)
        wanted = MqttSettings::From(config);
    std::optional<std::pair<std::string, int>> history;
    if (config.HistoryEnabled && !m_historyOff && !config.DataFolder.empty())
        history.emplace(config.DataFolder, config.HistoryDays);
    if (wanted == m_mqttInUse && history == m_historyInUse)
        return;
    // What waits goes out through the outputs it was meant for.
    m_events.Drain();
    m_events.RemoveOutputs();
    // A client says goodbye to its broker, which may take a second, and a history commits
    // what it holds: not on this thread.
    if (m_mqtt && wanted != m_mqttInUse)
        m_retiredOutputs.emplace_back([old = std::move(m_mqtt)]() mutable { old.reset(); });
    if (m_history && history != m_historyInUse)
        m_retiredOutputs.emplace_back([old = std::move(m_history)]() mutable { old.reset(); });
    if (wanted && !m_mqtt)
        m_mqtt = std::make_shared<MqttOutput>(*wanted);
    if (history && !m_history)
        m_history = std::make_shared<HistoryWriter>(history->first, history->second);
    m_mqttInUse = wanted;
    m_historyInUse = history;
    AttachEventOutputs();
}

void Controller::AttachEventOutputs()
{
    if (m_eventFile)
        m_events.AddOutput(m_eventFile);
    if (m_mqtt)
        m_events.AddOutput(m_mqtt);
    if (m_history)
        m_events.AddOutput(m_history);
}

bool Controller::SetEventsFile(const std::string& path, std::string& error)
{
    auto file = std::make_shared<EventFile>();
    if (!file->Open(path, error))
        return false;
    m_events.Drain();
    m_events.RemoveOutputs();
    m_eventFile = std::move(file);
    AttachEventOutputs();
    return true;
}

void Controller::SetHistoryOff()
{
    m_historyOff = true;
    ApplyEventOutputs();
}

bool Controller::SyncHistory(std::chrono::milliseconds timeout)
{
    m_events.Drain();
    return !m_history || m_history->Sync(timeout);
}

void Controller::SetMqttOverride(const MqttSettings& settings)
{
    m_mqttOverride = settings;
    ApplyEventOutputs();
}

bool Controller::FinishEvents(std::chrono::milliseconds timeout)
{
    ReplayEventsEnd();
    m_events.Drain();
    m_events.FlushOutputs();
    if (m_eventFile)
        m_eventFile->Close();
    return !m_mqtt || m_mqtt->Drain(timeout);
}

void Controller::ApplySettingsToModel()
{
    const CONFIG config = Config();
    m_model.SetDataFolder(config.DataFolder);
    m_model.SetDefaultColors(config.DefaultText, config.DefaultBackground);
    m_model.SetUnknownsVisible(config.UnknownsVisible);
    m_model.SetGrantsVisible(config.GrantsVisible);
    m_model.SetOtherInfoVisible(config.OtherInfoVisible);
    m_model.SetPktDumpVisible(config.PktDumpVisible);
    m_model.SetLogProtectionData(config.LogProtectionData);
    m_model.SetSaveHitCounts(config.SaveHits);
    m_model.SetTGTimeOut(m_extra.TGTimeOut);
    m_refresh.SetLogSettings(LogSettings::From(config, m_extra.FilterRegistrations), config.PrivatePriority);
}

bool Controller::SaveSettings(std::string& errors)
{
    std::string error;
    if (SaveConfiguration(Config(), m_extra, error))
        return true;
    if (!errors.empty())
        errors += '\n';
    errors += error;
    return false;
}

ProcessingTotals Controller::Totals() const
{
    if (m_replay && m_replayStarted)
        return m_replay->Processor().Totals();
    if (m_stopping || m_session.IsActive())
        return m_session.Totals();
    return m_lastTotals;
}

void Controller::RefreshStep()
{
    m_refresh.RunCycle({m_decodeActive.load(), m_heldTalkgroup, m_rawDumpOn.load()});
    if (!m_events.IsOn())
        return;
    // A replay of a file drains its events between blocks only, so that its runs agree.
    if (!m_replay || !m_replayStarted || m_replayLive)
        m_events.Drain();
    m_events.FlushOutputs();
}

int Controller::FollowStep(std::span<const FreqInfo> channels, std::span<const PATCHREC> patches, int held)
{
    IDENTABLE tables[MaxIdentifierTables];
    m_model.CopyIdentifierTables(tables, MaxIdentifierTables);
    const CONFIG config = Config();
    const FollowContext context{m_model, config, patches, held, m_lastFollowedTalkgroup};
    const int row =
        RunFollowStep(channels, tables, context, m_session.Scanner(), m_decodeActive, m_lastFollowedTalkgroup);
    const bool steering = m_session.Scanner() && config.ScanControlEnabled && m_decodeActive;
    const int chosen = row >= 0 ? channels[static_cast<size_t>(row)].Channel : -1;
    const std::vector<FollowDecision> decisions = ExplainFollow(channels, context, chosen, steering);
    std::vector<FollowDecision> told;
    {
        std::lock_guard guard(m_followMutex);
        const auto kept = static_cast<size_t>(m_followLog.Record(decisions, m_model.Now()));
        if (kept > 0 && steering && m_events.IsOn()) {
            const auto entries = m_followLog.Entries();
            for (size_t i = entries.size() - std::min(kept, entries.size()); i < entries.size(); ++i)
                told.push_back(entries[i].Decision);
        }
    }
    if (!steering || !m_events.IsOn())
        return row;
    // A call passed over is told with its reason; the tune below carries its own.
    for (const FollowDecision& decision : told)
        if (decision.Reason != FollowReason::Followed)
            m_events.PublishFollow({decision.Channel, decision.Frequency, decision.Talkgroup,
                                    FollowReasonKey(decision.Reason), decision.Text});
    FollowFigures tune;
    if (row >= 0) {
        tune = {channels[static_cast<size_t>(row)].Channel, channels[static_cast<size_t>(row)].Frequency,
                channels[static_cast<size_t>(row)].Talkgroup, nullptr, {}};
        for (const FollowDecision& decision : decisions)
            if (decision.Channel == tune.Channel) {
                tune.Reason = FollowReasonKey(decision.Reason);
                tune.ReasonText = decision.Text;
            }
    }
    if (!m_followEventSent || tune.Channel != m_lastFollowEvent.Channel ||
        tune.Talkgroup != m_lastFollowEvent.Talkgroup || tune.Frequency != m_lastFollowEvent.Frequency) {
        m_events.PublishFollow(tune);
        m_lastFollowEvent = tune;
        m_followEventSent = true;
    }
    return row;
}

std::vector<FollowLog::Entry> Controller::FollowDecisions() const
{
    std::lock_guard guard(m_followMutex);
    return m_followLog.Entries();
}

std::map<std::string, int64_t> Controller::FollowReasonCounts() const
{
    std::map<std::string, int64_t> counts;
    std::lock_guard guard(m_followMutex);
    for (int reason = 0; reason < FollowReasonCount; ++reason)
        if (const int64_t count = m_followLog.Count(static_cast<FollowReason>(reason)))
            counts[FollowReasonKey(static_cast<FollowReason>(reason))] = count;
    return counts;
}

ReportTable Controller::FollowTable()
{
    ReportTable table;
    table.Columns = {"Time", "Talkgroup", "Name", "Usage", "Priority", "Channel", "Tune or Reason"};
    table.Empty = "No call has been looked at yet: the decisions show while a session or replay runs.";
    for (const FollowLog::Entry& entry : FollowDecisions()) {
        const FollowDecision& d = entry.Decision;
        const bool radio = d.Usage == "Private" || d.Usage == "Phone";
        const std::string name = d.Talkgroup <= 0 ? std::string()
                                 : radio          ? m_model.FindRadioDescription(d.Talkgroup)
                                                  : m_model.GetTalkgroupDescription(d.Talkgroup);
        table.Add({LocalTimeText(entry.Time), d.Talkgroup > 0 ? std::to_string(d.Talkgroup) : std::string(), name,
                   d.Usage, std::to_string(d.Priority), m_model.ChannelText(d.Channel), d.Text});
    }
    return table;
}

void Controller::ClearFollowDecisions()
{
    std::lock_guard guard(m_followMutex);
    m_followLog.Clear();
}

bool Controller::StartDecodeSession()
{
    if (m_decodeActive || m_stopping || m_closingDown || m_replay)
        return false;
    const CONFIG config = Config();
    m_refresh.ResetShownLists();
    m_decodeActive = true;
    m_portErrorStopAt.reset();
    m_silentSeconds = 0;
    m_refresh.onListFilling = [this](LogKind kind) { SaveFillingList(kind); };
    m_events.Restart();
    m_followEventSent = false;
    ClearFollowDecisions();
    m_rateCrcFailures = 0;
    m_session.StartDecodeSession(config);
    if (config.AutoSaveEnabled)
        m_lastSystemSave = m_model.Now();
    m_autoSaveTimerOn = true;
    return true;
}

void Controller::StopBegin(std::string& errors)
{
    if (!m_session.IsActive() || m_stopping)
        return;
    const CONFIG config = Config();
    if (config.DataSaveOnDecodeStop) {
        SaveSystemInformation(errors);
    }
    if (config.LogSaveOnDecodeStop) {
        AutoSavePass(errors);
        m_autoSaveTimerOn = false;
    }
    m_session.StopBegin(false);
    m_decodeActive = false;
    m_stopping = true;
    m_portErrorStopAt.reset();
}

bool Controller::StopPoll()
{
    return !m_stopping || m_session.StopPoll();
}

bool Controller::StopFinish()
{
    if (!m_stopping)
        return true;
    if (!m_session.StopFinish())
        return false;
    m_lastTotals = m_session.Totals();
    m_blocksOfEnded += m_lastTotals.BlocksTaken;
    m_refresh.onListFilling = nullptr;
    m_events.Drain();
    m_stopping = false;
    return true;
}

void Controller::PortErrorReported()
{
    if (m_session.IsActive())
        m_portErrorStopAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(PortErrorStopDelayMs);
}

bool Controller::PortErrorStopDue()
{
    if (!m_portErrorStopAt || std::chrono::steady_clock::now() < *m_portErrorStopAt)
        return false;
    m_portErrorStopAt.reset();
    return m_session.IsActive();
}

bool Controller::ReplayBegin()
{
    if (m_decodeActive || m_stopping || m_closingDown)
        return false;
    ReplayCancel();
    m_model.ResetModel();
    m_refresh.ResetShownLists();
    return true;
}

bool Controller::ReplayOpen(const std::string& path, std::string& error, std::optional<int64_t> clockStart)
{
    if (m_decodeActive || m_stopping || m_closingDown)
        return false;
    ReplayCancel();
    m_replayClockStart = clockStart;
    m_replayClock = std::make_unique<ManualClock>(clockStart.value_or(m_liveClock.Now()));
    m_replay = std::make_unique<CaptureReplay>(m_queue, m_model, *m_replayClock, &m_session.Counters());
    if (m_replay->Open(path, CaptureKind::Anritsu, error))
        return true;
    ReplayCancel();
    return false;
}

void Controller::ReplayCancel()
{
    if (m_replayStarted)
        return;
    m_replay.reset();
    m_replayClock.reset();
}

bool Controller::ReplayStart(CaptureKind kind)
{
    if (!m_replay || m_replayStarted || m_decodeActive)
        return false;
    m_replay->SetKind(kind);
    // Rows are built between blocks, as a live refresh that keeps up builds them, and a
    // list is appended to its file before its cap could drop unsaved rows.
    m_replay->SetBlockHandler([this] {
        m_refresh.TakeLogsBetweenBlocks();
        if (!m_events.IsOn())
            return;
        m_events.Drain();
        if (!m_replayLive) {
            const ProcThread& processor = m_replay->Processor();
            m_events.ReplayBlock(processor.BlocksTaken(), processor.CrcFailures());
        }
    });
    m_replay->SetTickHandler([this] {
        m_model.ExpireChannelActivity();
        m_model.ExpirePatches();
    });
    m_replay->onEnded = [this] {
        if (onReplayEnded)
            onReplayEnded();
    };
    m_refresh.onListFilling = [this](LogKind kind) { SaveFillingList(kind); };
    m_events.Restart();
    m_followEventSent = false;
    ClearFollowDecisions();
    m_rateCrcFailures = 0;
    m_replayEventsEnded = false;
    // A given start keeps the clock exactly as asked (runs are compared file for file).
    m_replayLive = m_replay->IsLiveFeed() && !m_replayClockStart;
    m_events.SetPaced(!m_replayLive);
    if (m_replayLive) {
        m_replay->FollowLiveClock();
    } else {
        if (!m_replayClockStart)
            m_replayClock->Restart(ReplayClockStart(m_replay->Path(), kind, m_liveClock.Now()));
        m_clock.Use(*m_replayClock);
    }
    m_decodeActive = true;
    m_replayStarted = true;
    if (Config().AutoSaveEnabled)
        m_lastSystemSave = m_model.Now();
    m_autoSaveTimerOn = true;
    m_replay->Start(ReplayAtLowPriority ? WorkerPriority::Lowered : WorkerPriority::Normal);
    return true;
}

void Controller::ReplayRequestStop()
{
    if (m_replay && m_replayStarted)
        m_replay->RequestStop();
}

bool Controller::PollReplayEnded() const
{
    return m_replay && m_replayStarted && !m_replay->IsRunning();
}

// Once the replay's threads ended, on the replay's clock: the last events and its last second.
void Controller::ReplayEventsEnd()
{
    if (m_replayEventsEnded || !m_replay || m_replay->IsRunning())
        return;
    m_replayEventsEnded = true;
    m_events.SetPaced(false);
    const ProcessingTotals totals = m_replay->Processor().Totals();
    if (m_replayLive)
        m_events.Drain();
    else
        m_events.EndReplay(totals.BlocksTaken, totals.CrcFailures);
}

ReplayOutcome Controller::ReplayResult() const
{
    if (!m_replay)
        return {};
    return {m_replay->IsFinished(), m_replay->ReadError(), m_replay->Progress(), m_replay->Processor().Totals()};
}

bool Controller::ReplayFinish()
{
    if (!m_replay)
        return true;
    if (m_replayStarted && m_replay->IsRunning())
        return false;
    m_replay->Stop();
    if (m_replayStarted)
        ReplayEventsEnd();
    if (m_replayStarted) {
        m_lastTotals = m_replay->Processor().Totals();
        m_blocksOfEnded += m_lastTotals.BlocksTaken;
    }
    m_refresh.onListFilling = nullptr;
    m_replay.reset();
    // Nothing decodes now: the model can go back to the live clock.
    m_clock.Use(m_liveClock);
    m_replayClock.reset();
    m_replayStarted = false;
    m_replayLive = false;
    m_decodeActive = false;
    return true;
}

void Controller::SaveFillingList(LogKind kind)
{
    const CONFIG config = Config();
    if (!::IsLogAutoSaved(config, kind))
        return;
    std::string errors;
    // A failing disk fails again at every block: one word until a save succeeds.
    if (SaveLogOf(m_model, m_refresh.Logs, config, kind, errors))
        m_fillSaveFailed = false;
    else if (!m_fillSaveFailed.exchange(true) && onSaveError)
        onSaveError(errors);
}

bool Controller::IsLogAutoSaved(LogKind kind) const
{
    return ::IsLogAutoSaved(Config(), kind);
}

bool Controller::IsAutoSaveDue() const
{
    if (m_model.GetSystemId() == 0)
        return false;
    const CONFIG config = Config();
    if (IsSystemFolderDue(config, m_decodeActive, m_lastSystemSave, m_model.Now()))
        return true;
    for (int k = 0; k < LogKindCount; ++k)
        if (::IsLogAutoSaved(config, static_cast<LogKind>(k)))
            return true;
    return false;
}

bool Controller::AutoSavePass(std::string& errors)
{
    // A replay's processing thread builds and saves rows meanwhile.
    std::lock_guard guard(m_refresh.Mutex());
    const int64_t lastSave = m_lastSystemSave;
    const uint64_t decoded = DecodedBlocks();
    const bool ok = RunAutoSavePass(m_model, m_refresh.Logs, Config(), m_decodeActive, m_lastSystemSave, errors);
    if (ok && m_lastSystemSave != lastSave)
        m_blocksAtSave = decoded;
    return ok;
}

bool Controller::SaveSystemInformation(std::string& errors)
{
    const uint64_t decoded = DecodedBlocks();
    const bool saved = SaveSystemFolderOf(m_model, errors);
    m_lastSystemSave = m_model.Now() - 1;
    if (saved)
        m_blocksAtSave = decoded;
    return saved;
}

uint64_t Controller::DecodedBlocks() const
{
    const bool running = (m_replay && m_replayStarted) || m_stopping || m_session.IsActive();
    return m_blocksOfEnded + (running ? Totals().BlocksTaken : 0);
}

void Controller::ReplayStopSaves(std::string& errors)
{
    if (!m_replay || !m_replayStarted || m_closingDown)
        return;
    const CONFIG config = Config();
    if (config.DataSaveOnDecodeStop)
        SaveSystemInformation(errors);
    if (config.LogSaveOnDecodeStop) {
        AutoSavePass(errors);
        m_autoSaveTimerOn = false;
    }
}

bool Controller::IsExitSaveQuestionDue() const
{
    if (m_closingDown || m_model.GetSystemId() == 0 || DecodedBlocks() <= m_blocksAtSave)
        return false;
    return !(m_decodeActive && Config().DataSaveOnExit);
}

void Controller::SaveAtExit(std::string& errors)
{
    SaveSystemInformation(errors);
    AutoSavePass(errors);
}

bool Controller::SaveLog(LogKind kind, std::string& errors)
{
    std::lock_guard guard(m_refresh.Mutex());
    return SaveLogOf(m_model, m_refresh.Logs, Config(), kind, errors);
}

DecodeFigures Controller::OneSecond()
{
    ReceiveCounters& counters = m_session.Counters();
    const int expected = counters.BlocksExpected.exchange(0);
    const int received = counters.BlocksReceived.exchange(0);
    DecodeFigures figures;
    figures.Rate = ReceiveRateFigures(expected, received);
    figures.Buffer = BufferText(m_queue.FreePercent());
    const TKavri* reader = m_session.Reader();
    m_silentSeconds = received > 0 || !m_session.IsActive() || m_stopping || !reader || !reader->IsReading()
                          ? 0
                          : m_silentSeconds + 1;
    if (m_silentSeconds >= NoDataNoticeSeconds)
        figures.Notice = "no data from the scanner on " + Config().CommPort;
    if (m_replay && m_replayStarted) {
        const ReplayProgress progress = m_replay->Progress();
        figures.ReplayPercent =
            progress.TotalBytes ? static_cast<int>(progress.BytesRead * 100 / progress.TotalBytes) : 100;
    }
    if (m_events.IsOn()) {
        // A replay of a file tells its rate on its own clock.
        const bool liveRate = (m_session.IsActive() && !m_stopping) || ReplayRunsLive();
        const uint64_t crc = Totals().CrcFailures;
        if (liveRate && m_decodeActive)
            m_events.PublishRate({received, expected, static_cast<int64_t>(crc - std::min(crc, m_rateCrcFailures)),
                                  m_queue.FreePercent()});
        m_rateCrcFailures = crc;
        figures.EventNotices = m_events.TakeNotices();
        figures.EventsDropped = m_events.Dropped();
    }
    return figures;
}

BackupStep Controller::BackupTimerFired(std::string& errors)
{
    CONFIG config = Config();
    // Backups keep to the calendar, never to a replay's clock.
    const int64_t now = m_liveClock.Now();
    const BackupStep step = DecideBackup(config, m_backupRunning, now);
    if (step != BackupStep::StartBackup)
        return step;
    {
        std::lock_guard guard(m_configMutex);
        m_config.LastBackup = config.LastBackup;
    }
    SaveSettings(errors);
    m_backupRunning = true;
    BackupJob job = MakeBackupJob(config, now);
    job.CopyDatabase = CopyHistoryDatabase;
    m_backup = std::make_unique<TBackup>(std::move(job), [this] {
        if (onBackupEnded)
            onBackupEnded();
    });
    return step;
}

int64_t Controller::BackupIntervalMs() const
{
    return BackupCheckIntervalMs(Config());
}

bool Controller::BackupEnded()
{
    if (m_backup && m_backup->IsRunning())
        return false;
    m_backup.reset();
    m_backupRunning = false;
    return Config().BackupEnabled;
}

void Controller::CloseBegin(std::string& errors)
{
    if (m_closingDown)
        return;
    m_closingDown = true;
    m_autoSaveTimerOn = false;
    m_portErrorStopAt.reset();
    if (m_decodeActive) {
        const CONFIG config = Config();
        if (config.DataSaveOnExit)
            SaveSystemInformation(errors);
        if (config.LogSaveOnExit)
            AutoSavePass(errors);
        m_decodeActive = false;
    }
    if (m_session.IsActive() || m_stopping) {
        m_session.StopBegin(true);
        m_stopping = true;
    }
    ReplayRequestStop();
    ReplayCancel();
}

bool Controller::ClosePoll()
{
    if (!StopPoll())
        return false;
    if (m_replay && m_replayStarted && m_replay->IsRunning())
        return false;
    return !m_backup || !m_backup->IsRunning();
}

bool Controller::CloseFinish(std::string& errors)
{
    if (!ClosePoll())
        return false;
    StopFinish();
    ReplayFinish();
    m_backup.reset();
    m_backupRunning = false;
    return SaveSettings(errors);
}
