#include "session/DecodeSession.h"

#include <chrono>
#include <thread>

#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "view/RefreshCycle.h"
#include "scanner/FollowLogic.h"
#include "scanner/ScannerControl.h"

namespace {

constexpr auto DrainWait = std::chrono::milliseconds(200);
constexpr int64_t SystemSaveBackdate = 5;

void AddError(std::string& errors, const std::string& error)
{
    if (error.empty())
        return;
    if (!errors.empty())
        errors += '\n';
    errors += error;
}

}

DecodeSession::DecodeSession(P25Class& model, TBSKQueue& queue, RefreshCycle& refresh)
    : m_model(model), m_queue(queue), m_refresh(refresh)
{
}

DecodeSession::~DecodeSession()
{
    m_scanner.reset();
    StopThreads(false);
}

void DecodeSession::StartDecodeSession(const CONFIG& config)
{
    m_config = config;
    m_model.ResetModel();
    m_active = true;

    m_processor = std::make_unique<ProcThread>(m_queue, m_model);
    m_processor->Start(true);

    KavriSettings settings;
    settings.Port = config.CommPort;
    settings.ScannerType = config.ScannerType;
    settings.UnidenSpeed = config.UnidenSpeed;
    settings.Latency = config.Latency;
    settings.RawDump = config.PsrDumpVisible;
    m_reader = std::make_unique<TKavri>(m_queue, m_counters, settings);
    m_reader->onPortError = [this](const std::string& text) {
        if (onPortError)
            onPortError(text);
    };
    m_reader->Start(true);

    if (config.ScanControlEnabled) {
        m_scanner = std::make_unique<ScannerControl>(config.ControlPort, config.ScannerProfile, config.QuietFrequency,
                                                     config.ControlPortSpeed, m_model.GetDataFolder());
        m_scanner->onNotice = [this](const std::string& text) {
            if (onScannerNotice)
                onScannerNotice(text);
        };
        m_scanner->StartScanner();
        m_scanner->GoQuiet();
    }

    if (config.AutoSaveEnabled)
        LastSystemSave = m_model.Now();
}

int DecodeSession::FollowStep(std::span<const FreqInfo> channels, std::span<const PATCHREC> patches,
                              int heldTalkgroup)
{
    IDENTABLE tables[MaxIdentifierTables];
    m_model.CopyIdentifierTables(tables, MaxIdentifierTables);
    const FollowContext context{m_model, m_config, patches, heldTalkgroup, m_lastFollowedTalkgroup};
    return RunFollowStep(channels, tables, context, m_scanner.get(), m_active, m_lastFollowedTalkgroup);
}

void DecodeSession::StopDecodeSession(std::string& errors)
{
    if (!m_active)
        return;
    if (m_config.DataSaveOnDecodeStop) {
        SaveSystemFolderNow(errors);
        LastSystemSave = m_model.Now() - 1;
    }
    if (m_config.LogSaveOnDecodeStop)
        AutoSavePass(errors);
    StopThreads(true);
}

void DecodeSession::CloseDecodeSession(std::string& errors)
{
    if (!m_active)
        return;
    if (m_config.DataSaveOnExit) {
        SaveSystemFolderNow(errors);
        LastSystemSave = m_model.Now() - 1;
    }
    if (m_config.LogSaveOnExit)
        AutoSavePass(errors);
    StopThreads(false);
}

void DecodeSession::StopThreads(bool drain)
{
    StopBegin(!drain);
    while (!StopPoll())
        std::this_thread::sleep_for(DrainWait);
    StopFinish();
}

void DecodeSession::StopBegin(bool closing)
{
    if (m_scanner && !closing)
        m_scanner->ResumeScan();
    m_scanner.reset();
    m_active = false;
    if (m_reader)
        m_reader->RequestStop();
    if (closing && m_processor)
        m_processor->RequestStop();
}

bool DecodeSession::StopPoll()
{
    if (m_reader && m_reader->IsRunning())
        return false;
    if (!m_processor)
        return true;
    if (!m_queue.HasData())
        m_processor->RequestStop();
    return !m_processor->IsRunning();
}

bool DecodeSession::StopFinish()
{
    if (!StopPoll())
        return false;
    if (m_processor)
        m_lastTotals = m_processor->Totals();
    m_reader.reset();
    m_processor.reset();
    m_counters.BlocksExpected = 0;
    m_counters.BlocksReceived = 0;
    return true;
}

bool DecodeSession::SaveSystemFolderNow(std::string& errors)
{
    return SaveSystemFolderOf(m_model, errors);
}

bool DecodeSession::IsLogAutoSaved(const CONFIG& config, LogKind kind)
{
    return ::IsLogAutoSaved(config, kind);
}

bool DecodeSession::SaveLog(LogKind kind, std::string& errors)
{
    return SaveLogOf(m_model, m_refresh.Logs, m_config, kind, errors);
}

bool DecodeSession::AutoSavePass(std::string& errors)
{
    return RunAutoSavePass(m_model, m_refresh.Logs, m_config, m_active, LastSystemSave, errors);
}

bool SaveSystemFolderOf(P25Class& model, std::string& errors)
{
    std::string error;
    const bool saved = model.SaveSystemFolder(error);
    AddError(errors, error);
    return saved;
}

bool IsLogAutoSaved(const CONFIG& config, LogKind kind)
{
    switch (kind) {
    case LogKind::PacketDump: return config.PktDumpAutoSave && config.PktDumpVisible;
    case LogKind::UnknownPackets: return config.UnknownsAutoSave && config.UnknownsVisible;
    case LogKind::GrantTrace: return config.GrantsAutoSave && config.GrantsVisible;
    case LogKind::OtherEvents: return config.OtherInfoAutoSave && config.OtherInfoVisible;
    case LogKind::PatchLog: return config.PatchesAutoSave;
    case LogKind::Affiliations: return config.AffiliationsAutoSave;
    case LogKind::RawDump: return config.PsrDumpAutoSave && config.PsrDumpVisible;
    case LogKind::RecentGrants: return false;
    }
    return false;
}

bool SaveLogOf(P25Class& model, LogLists& logs, const CONFIG& config, LogKind kind, std::string& errors)
{
    if (kind == LogKind::RawDump && !config.PsrDumpVisible)
        return true;
    std::string error;
    const bool saved = logs.List(kind).Save(model.GetDataFolder(), model.LogSite(), config.IncludeDate,
                                            model.Now(), error);
    AddError(errors, error);
    return saved;
}

bool IsSystemFolderDue(const CONFIG& config, bool decodeActive, int64_t lastSystemSave, int64_t now)
{
    return config.AutoSaveEnabled && decodeActive && lastSystemSave + config.AutoSaveInterval * 60 < now;
}

bool RunAutoSavePass(P25Class& model, LogLists& logs, const CONFIG& config, bool decodeActive,
                     int64_t& lastSystemSave, std::string& errors)
{
    if (model.GetSystemId() == 0)
        return true;
    bool ok = true;
    const int64_t now = model.Now();
    if (IsSystemFolderDue(config, decodeActive, lastSystemSave, now)) {
        ok = SaveSystemFolderOf(model, errors) && ok;
        lastSystemSave = now - SystemSaveBackdate;
    }
    static constexpr LogKind order[] = {LogKind::PacketDump, LogKind::UnknownPackets, LogKind::GrantTrace,
                                        LogKind::OtherEvents, LogKind::PatchLog,       LogKind::Affiliations,
                                        LogKind::RawDump};
    for (LogKind kind : order)
        if (IsLogAutoSaved(config, kind))
            ok = SaveLogOf(model, logs, config, kind, errors) && ok;
    return ok;
}
