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

    // The stop in steps that never wait, for a caller that keeps refreshing meanwhile (the
    // saves are the caller's). StopBegin: the second scanner back to its own scan (not
    // when closing), inactive, the reader asked to end; closing asks the processing
    // thread too, without the drain.
    void StopBegin(bool closing);
    // Once the reader ended and the queue drained, asks the processing thread to end.
    // True when both threads have ended.
    bool StopPoll();
    // Releases the ended threads and zeroes the receive counters; false while one runs.
    bool StopFinish();

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

// The saves of a session, shared by the session and the front ends' controller. errors
// collects the reasons of failed saves, one a line.
bool SaveSystemFolderOf(P25Class& model, std::string& errors);
// Whether the settings have the log saved automatically (its box, and for some its tab).
bool IsLogAutoSaved(const CONFIG& config, LogKind kind);
// Appends a log's unsaved rows to its file (the raw data dump only while it is shown).
bool SaveLogOf(P25Class& model, LogLists& logs, const CONFIG& config, LogKind kind, std::string& errors);
// The auto-save interval has passed since the last system folder save of a decode.
bool IsSystemFolderDue(const CONFIG& config, bool decodeActive, int64_t lastSystemSave, int64_t now);
// The auto-save pass: nothing before the system is identified; then the system folder when
// due (lastSystemSave moves on) and every log whose auto-save is on, in the window's order.
bool RunAutoSavePass(P25Class& model, LogLists& logs, const CONFIG& config, bool decodeActive,
                     int64_t& lastSystemSave, std::string& errors);
