#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "input/KavriReadThread.h"
#include "input/ProcThread.h"
#include "view/LogLists.h"
#include "model/Records.h"
#include "persistence/Config.h"

class P25Class;
class ScannerControl;
class RefreshCycle;
class TBSKQueue;

// One live decode session, started and stopped the same way by both front ends: the
// processing thread, the reader thread, and the periodic saves of the system folder and
// the logs. The front end calls AutoSavePass once a minute while a session runs.
class DecodeSession
{
public:
    DecodeSession(P25Class& model, TBSKQueue& queue, RefreshCycle& refresh);
    ~DecodeSession();
    DecodeSession(const DecodeSession&) = delete;
    DecodeSession& operator=(const DecodeSession&) = delete;

    // Resets the model, starts ProcThread and then the reader, both at idle priority, and
    // with scanner control enabled the second scanner's controller.
    void StartDecodeSession(const CONFIG& config);
    // The stop-time saves the settings ask for, then the reader, the queue drained, the
    // processing thread. errors collects what could not be saved.
    void StopDecodeSession(std::string& errors);
    // Closing the program: the exit-time saves, then the threads without the drain.
    void CloseDecodeSession(std::string& errors);

    // Saves the system folder when due and appends each due log to its file. Nothing
    // happens before the system is identified. False with the reasons of failed saves.
    bool AutoSavePass(std::string& errors);
    // Appends one log's unsaved rows (its Save command).
    bool SaveLog(LogKind kind, std::string& errors);
    bool SaveSystemFolderNow(std::string& errors);
    // Whether the settings have the log saved automatically.
    static bool IsLogAutoSaved(const CONFIG& config, LogKind kind);

    bool IsActive() const { return m_active.load(); }
    const CONFIG& Config() const { return m_config; }
    void SetConfig(const CONFIG& config) { m_config = config; }
    ReceiveCounters& Counters() { return m_counters; }
    TKavri* Reader() { return m_reader.get(); }
    ProcThread* Processor() { return m_processor.get(); }
    // The second scanner's controller while scanner control runs, else null.
    ScannerControl* Scanner() { return m_scanner.get(); }
    // The processing thread's counters, also after the session stopped.
    ProcessingTotals Totals() const { return m_processor ? m_processor->Totals() : m_lastTotals; }

    // The follow step of scanner control for one rebuild of the activity list (the refresh
    // cycle's follow hook): the followed row, tuning the second scanner while it runs.
    int FollowStep(std::span<const FreqInfo> channels, std::span<const PATCHREC> patches, int heldTalkgroup);
    int LastFollowedTalkgroup() const { return m_lastFollowedTalkgroup; }

    // The reader's open failure or the loss of its port, on the reader thread.
    std::function<void(const std::string& text)> onPortError;
    // Scanner control's notices (a frequency it would not send), on the calling thread.
    std::function<void(const std::string& text)> onScannerNotice;

    int64_t LastSystemSave = 0;

private:
    void StopThreads(bool drain);

    P25Class& m_model;
    TBSKQueue& m_queue;
    RefreshCycle& m_refresh;
    CONFIG m_config;
    ReceiveCounters m_counters;
    std::unique_ptr<ProcThread> m_processor;
    std::unique_ptr<TKavri> m_reader;
    std::unique_ptr<ScannerControl> m_scanner;
    std::atomic<bool> m_active{false};
    ProcessingTotals m_lastTotals;
    int m_lastFollowedTalkgroup = -1;
};

// Hands the settings the model and the refresh read to them (after loading the settings
// and whenever they change).
void ApplyModelSettings(P25Class& model, RefreshCycle& refresh, const CONFIG& config, const EXTRASETTINGS& extra);
