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
    if (m_scanner)
        m_scanner->ResumeScan();
    m_scanner.reset();
    m_active = false;
    StopThreads(true);
    m_counters.BlocksExpected = 0;
    m_counters.BlocksReceived = 0;
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
    m_scanner.reset();
    m_active = false;
    StopThreads(false);
}

void DecodeSession::StopThreads(bool drain)
{
    if (m_reader)
        m_reader->Stop();
    if (drain && m_processor) {
        while (m_queue.HasData() && m_processor->IsRunning())
            std::this_thread::sleep_for(DrainWait);
    }
    if (m_processor) {
        m_processor->Stop();
        m_lastTotals = m_processor->Totals();
    }
    m_reader.reset();
    m_processor.reset();
}

bool DecodeSession::SaveSystemFolderNow(std::string& errors)
{
    std::string error;
    const bool saved = m_model.SaveSystemFolder(error);
    AddError(errors, error);
    return saved;
}

bool DecodeSession::IsLogAutoSaved(const CONFIG& config, LogKind kind)
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

bool DecodeSession::SaveLog(LogKind kind, std::string& errors)
{
    if (kind == LogKind::RawDump && !m_config.PsrDumpVisible)
        return true;
    std::string error;
    const bool saved = m_refresh.Logs.List(kind).Save(m_model.GetDataFolder(), m_model.LogSite(),
                                                       m_config.IncludeDate, m_model.Now(), error);
    AddError(errors, error);
    return saved;
}

bool DecodeSession::AutoSavePass(std::string& errors)
{
    if (m_model.GetSystemId() == 0)
        return true;
    bool ok = true;
    const int64_t now = m_model.Now();
    if (m_config.AutoSaveEnabled && m_active && LastSystemSave + m_config.AutoSaveInterval * 60 < now) {
        ok = SaveSystemFolderNow(errors) && ok;
        LastSystemSave = now - SystemSaveBackdate;
    }
    static constexpr LogKind order[] = {LogKind::PacketDump, LogKind::UnknownPackets, LogKind::GrantTrace,
                                        LogKind::OtherEvents, LogKind::PatchLog,       LogKind::Affiliations,
                                        LogKind::RawDump};
    for (LogKind kind : order)
        if (IsLogAutoSaved(m_config, kind))
            ok = SaveLog(kind, errors) && ok;
    return ok;
}

void ApplyModelSettings(P25Class& model, RefreshCycle& refresh, const CONFIG& config, const EXTRASETTINGS& extra)
{
    model.SetDefaultColors(config.DefaultText, config.DefaultBackground);
    model.SetUnknownsVisible(config.UnknownsVisible);
    model.SetGrantsVisible(config.GrantsVisible);
    model.SetOtherInfoVisible(config.OtherInfoVisible);
    model.SetPktDumpVisible(config.PktDumpVisible);
    model.SetLogProtectionData(config.LogProtectionData);
    model.SetSaveHitCounts(config.SaveHits);
    model.SetTGTimeOut(extra.TGTimeOut);
    refresh.SetLogSettings(LogSettings::From(config, extra.FilterRegistrations), config.PrivatePriority);
}
