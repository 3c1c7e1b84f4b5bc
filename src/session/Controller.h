#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "events/EventFeed.h"
#include "events/EventFile.h"
#include "events/MqttOutput.h"
#include "history/HistoryWriter.h"
#include "report/Changes.h"
#include "report/ReportTable.h"
#include "scanner/FollowLog.h"
#include "input/CaptureReplay.h"
#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "persistence/TBackupThread.h"
#include "session/DecodeSession.h"
#include "session/SessionClock.h"
#include "view/RefreshCycle.h"
#include "view/WindowRules.h"

// The messages a front end shows for the replay and the session, as the window words them.
namespace ControllerTexts {
inline constexpr char ReplayRefusedCaption[] = "Unable to read file";
inline constexpr char ReplayRefused[] = "Zembrant is currently actively decoding from a scanner or another file.\n\n"
                                        "To decode from a file, stop the current decode process and then try again.";
inline constexpr char OpenErrorCaption[] = "Open Error";
inline constexpr char OpenError[] = "File could not be opened!";
inline constexpr char ReplayDoneCaption[] = "Complete";
inline constexpr char ReplayDone[] = "Decode Finished!";
inline constexpr char StopQuestionCaption[] = "Stop Decode";
inline constexpr char StopQuestion[] = "Are you sure you want to stop the data decode session?";
inline constexpr char BackupLabel[] = "*Backup In Progress*";
inline constexpr char ExitSaveQuestionCaption[] = "Save System Information";
inline constexpr char ExitSaveQuestion[] = "Save the system information learned since the last save?";
}

// The one-second handler's figures.
struct DecodeFigures
{
    ReceiveRate Rate;       // "Receive Rate (%):", status-line "Decode:", progress bar
    std::string Buffer;     // "Buffer Available:"
    int ReplayPercent = -1; // share of the capture file read; -1 when no replay runs
    std::string Notice;     // for the status line: a port that opened but stays silent
    // The live events' outputs: what they have to say once (a lost broker), and the
    // events given up so far.
    std::vector<std::string> EventNotices;
    uint64_t EventsDropped = 0;
};

// What a replay came to, readable once PollReplayEnded is true.
struct ReplayOutcome
{
    bool Whole = false;    // the whole file was read and decoded
    std::string ReadError; // the system's text of a read error that cut it short
    ReplayProgress Progress;
    ProcessingTotals Totals;
};

// Everything below the window that both front ends share: the block queue, the model, the
// refresh cycle, the live decode session, the capture replay, the receive counters, the
// timers' decisions and the window-level state (DecodeActive, HeldTalkgroup,
// LastFollowedTalkgroup, LastSystemSave, BackupRunning, ClosingDown).
//
// Every step is called on the front end's own thread (the window's event loop, or the
// CLI's main loop) and never sleeps or waits for another thread there. Waiting is the
// front end's: stop and close are begin / poll / finish sequences, polled from its 10 ms
// timer while that timer keeps refreshing the lists. The callbacks marked "worker thread"
// must only queue a notice for the front end's thread.
class Controller
{
public:
    // The 10 ms refresh, the one-second figures, the auto-save pass, the backup check.
    static constexpr int RefreshIntervalMs = 10;
    static constexpr int FigureIntervalMs = 1000;
    static constexpr int AutoSaveIntervalMs = 60000;
    static constexpr int FirstBackupCheckMs = 5000;
    // After a backup was switched on in the configuration dialog.
    static constexpr int BackupSwitchedOnCheckMs = 1000;
    static constexpr int PortErrorStopDelayMs = 2000;
    // An open port without a block for this long is worth a word in the status line.
    static constexpr int NoDataNoticeSeconds = 5;

    // liveClock: the time of live sessions and of the time between sessions; a replay runs
    // on its own clock and hands back to this one at its end.
    explicit Controller(Clock& liveClock = Clock::System());
    // Ends whatever still runs, without saving (CloseBegin..CloseFinish is the orderly way).
    ~Controller();
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // --- Settings. The controller reads the current ones at each step (thresholds and the
    // auto-save boxes apply at once). Any thread may read them; change them on the front
    // end's thread.
    CONFIG Config() const;
    const EXTRASETTINGS& Extra() const { return m_extra; }
    // Also hands the model its switches (data folder, colours, log switches, hit counts,
    // time-out) and the log lists their settings.
    void SetConfig(const CONFIG& config);
    void SetSettings(const CONFIG& config, const EXTRASETTINGS& extra);
    // Writes the settings into CONFIG::ConfigFile.
    bool SaveSettings(std::string& errors);

    // --- The parts, for the front end to draw and edit. Model edits take the model's locks.
    P25Class& Model() { return m_model; }
    TBSKQueue& Queue() { return m_queue; }
    // The shown lists; read them on the front end's thread. During a replay the
    // processing thread also builds log rows: hold Refresh().Mutex() to read the logs then.
    RefreshCycle& Refresh() { return m_refresh; }
    // The live session's threads and second scanner (its reader's state, for tests and
    // status lines).
    DecodeSession& Session() { return m_session; }

    // --- Live events. The outputs follow the settings ([Events] for MQTT); the CLI adds
    // a file and may override the broker. Change them on the front end's thread.
    EventFeed& Events() { return m_events; }
    // "-" is standard output. False with the reason when it cannot be opened.
    bool SetEventsFile(const std::string& path, std::string& error);
    void SetMqttOverride(const MqttSettings& settings);
    // At the end of a CLI run: what the outputs still hold is written or sent, waiting at
    // most timeout for a broker. False when events were left unsent.
    bool FinishEvents(std::chrono::milliseconds timeout);
    // The history follows [History] and the data folder; the CLI may turn it off.
    void SetHistoryOff();
    // Everything the model told so far is in the history databases (tests, the CLI).
    bool SyncHistory(std::chrono::milliseconds timeout);
    // The follow decisions of the session or replay, oldest first, and how many calls got
    // each reason ("held": 12); any thread.
    std::vector<FollowLog::Entry> FollowDecisions() const;
    std::map<std::string, int64_t> FollowReasonCounts() const;
    void ClearFollowDecisions();
    // The decisions as the window's follow list shows them.
    ReportTable FollowTable();
    // What changed since the system's folder was loaded; any thread.
    ReportTable ChangesTable() const { return m_changes.Changes(m_model.Now()); }
    // Events leave as lines (a file, a broker), not only as history rows.
    bool EventLinesOn() const { return m_eventFile || m_mqtt; }
    // The history writer, null while it is off.
    const std::shared_ptr<HistoryWriter>& History() const { return m_history; }

    // --- Window-level state.
    bool DecodeActive() const { return m_decodeActive.load(); }
    bool IsLive() const { return m_session.IsActive(); }
    bool IsReplaying() const { return m_replay != nullptr; }
    // A started replay of a pipe, FIFO or terminal: its time-outs need RefreshStep, as a
    // live session's do.
    bool ReplayRunsLive() const { return m_replay && m_replayStarted && m_replayLive; }
    int HeldTalkgroup() const { return m_heldTalkgroup; }
    // -1 releases the hold; the next refresh redraws the activity list.
    void SetHeldTalkgroup(int talkgroup) { m_heldTalkgroup = talkgroup; }
    int LastFollowedTalkgroup() const { return m_lastFollowedTalkgroup; }
    int64_t LastSystemSave() const { return m_lastSystemSave; }
    bool BackupRunning() const { return m_backupRunning; }
    bool ClosingDown() const { return m_closingDown; }
    // Whether the 60-second auto-save timer should run: from a start or replay until a
    // stop that saved its logs, or the close.
    bool AutoSaveTimerOn() const { return m_autoSaveTimerOn; }
    // The processing counters of the running or the last session or replay.
    ProcessingTotals Totals() const;

    // --- The 10 ms timer: one refresh cycle with the current state (the follow step runs
    // in it, for a live session and a replay alike).
    void RefreshStep();

    // --- Live session.
    // Refused (false) while DecodeActive. Resets the model, empties the shown lists,
    // starts the processing and reader threads and, when enabled, scanner control.
    bool StartDecodeSession();
    // The confirmation question is the front end's, before StopBegin. StopBegin runs the
    // stop-time saves the settings ask for, hands the second scanner back to its own scan,
    // clears DecodeActive and asks the reader to end. errors: what could not be saved.
    void StopBegin(std::string& errors);
    // Moves the stop on: once the reader ended and the queue drained, asks the processing
    // thread to end. True when every thread of the session has ended.
    bool StopPoll();
    // After StopPoll said true: releases the threads and zeroes the receive counters.
    // False (and nothing done) while a thread still runs.
    bool StopFinish();
    // Whether a stop is under way (between StopBegin and StopFinish).
    bool IsStopping() const { return m_stopping; }

    // The reader could not open or lost its port. onPortError (reader thread) tells the
    // front end; the front end calls PortErrorReported on its own thread, and from then
    // on PortErrorStopDue says true once, PortErrorStopDelayMs later, when the stop (with
    // its question) is due.
    std::function<void(const std::string& text)> onPortError;
    void PortErrorReported();
    bool PortErrorStopDue();
    // Scanner control's notices, on the front end's thread.
    std::function<void(const std::string& text)> onScannerNotice;

    // --- Capture replay, in the window's order: ReplayBegin (refused while DecodeActive;
    // resets the model and empties the shown lists), the open dialog, ReplayOpen, the
    // type dialog, then ReplayStart or ReplayCancel.
    bool ReplayBegin();
    // error: ControllerTexts::OpenError. clockStart: the replay clock's first second, moved
    // on by a dump's own later times. Without it a regular file runs on its own dates, or
    // ends its 25 ms a block at now; a pipe, FIFO or terminal runs on the live clock.
    bool ReplayOpen(const std::string& path, std::string& error, std::optional<int64_t> clockStart = {});
    void ReplayCancel();
    // Sets DecodeActive and starts reading; blocks are pushed as fast as the queue takes
    // them, log rows are built between blocks and a filling log list is appended to its
    // file (when its auto-save is on).
    bool ReplayStart(CaptureKind kind);
    // Ends a running replay early (the CLI's signals).
    void ReplayRequestStop();
    // Replay thread: the file is read and the queue drained (or the replay was stopped).
    std::function<void()> onReplayEnded;
    // True once the replay's threads have ended (the CLI polls this).
    bool PollReplayEnded() const;
    ReplayOutcome ReplayResult() const;
    // After the end: releases the replay, clears DecodeActive and puts the model back on
    // the live clock. The front end then shows ControllerTexts::ReplayDone. False (and
    // nothing done) while the replay still runs.
    bool ReplayFinish();
    // The replay's threads yield to the window (a lowered priority, not idle: a replay
    // is busy all the time and holds locks the window waits for); the CLI, alone on its
    // machine, runs them at normal priority.
    bool ReplayAtLowPriority = true;
    // A log save that failed while a filling list was appended to its file (the replay's
    // processing thread, or the front end's during a live session); once until one succeeds.
    std::function<void(const std::string& error)> onSaveError;

    // --- Saves.
    // Whether AutoSavePass would save anything now (the window marks its caption).
    bool IsAutoSaveDue() const;
    // The 60-second pass: the system folder when due and DecodeActive, the logs whose
    // auto-save is on. Nothing before the system is identified.
    bool AutoSavePass(std::string& errors);
    // "Save System Information": the system folder now.
    bool SaveSystemInformation(std::string& errors);
    // A log's Save button.
    bool SaveLog(LogKind kind, std::string& errors);
    // Whether the settings have a log saved automatically.
    bool IsLogAutoSaved(LogKind kind) const;

    // --- One-second timer: the figures, then both receive counters are zeroed.
    DecodeFigures OneSecond();

    // --- Backup timer. The front end starts it FirstBackupCheckMs after the first show.
    // Each time it fires: StopTimer (stop it), CheckLater (re-arm with BackupIntervalMs),
    // StartBackup (LastBackup stored, settings saved, backup thread started; the timer
    // waits for the end). onBackupEnded (backup thread) tells the front end, which then
    // calls BackupEnded on its thread: true when the timer should run again.
    BackupStep BackupTimerFired(std::string& errors);
    int64_t BackupIntervalMs() const;
    std::function<void()> onBackupEnded;
    bool BackupEnded();

    // A replay that ended on its own is a decode stop: the stop-time saves the settings ask
    // for, before ReplayFinish, so that they are stamped on the replay's clock.
    void ReplayStopSaves(std::string& errors);
    // Before CloseBegin: whether the model holds decoded data that no save wrote and the
    // close will not save (the front end then asks ControllerTexts::ExitSaveQuestion).
    bool IsExitSaveQuestionDue() const;
    // Its answer Yes: the system folder, and the logs whose auto-save is on.
    void SaveAtExit(std::string& errors);

    // --- Closing. CloseBegin: ClosingDown; with DecodeActive the exit-time saves, then
    // the session or replay is ended without draining. CloseFinish once ClosePoll is true
    // (the threads ended and no backup runs): releases them and saves the settings.
    void CloseBegin(std::string& errors);
    bool ClosePoll();
    bool CloseFinish(std::string& errors);

private:
    void ApplyEventOutputs();
    void AttachEventOutputs();
    void ReplayEventsEnd();
    int FollowStep(std::span<const FreqInfo> channels, std::span<const PATCHREC> patches, int held);
    void ApplySettingsToModel();
    void SaveFillingList(LogKind kind);
    // Blocks decoded by every session and replay so far, the running one included.
    uint64_t DecodedBlocks() const;
    void MarkSaved() { m_blocksAtSave = DecodedBlocks(); }

    Clock& m_liveClock;
    SessionClock m_clock;
    P25Class m_model;
    TBSKQueue m_queue;
    RefreshCycle m_refresh;
    // Before the session: its threads may still tell the tap while it is destroyed.
    EventFeed m_events{m_model};
    // The system as its folder loaded it, taken once a load (the session's thread).
    ChangeTracker m_changes{m_model};
    std::shared_ptr<EventFile> m_eventFile;
    std::shared_ptr<MqttOutput> m_mqtt;
    std::vector<std::jthread> m_retiredOutputs;
    std::optional<MqttSettings> m_mqttOverride;
    std::optional<MqttSettings> m_mqttInUse;
    std::shared_ptr<HistoryWriter> m_history;
    // The data folder and days the history writes with; empty while it is off.
    std::optional<std::pair<std::string, int>> m_historyInUse;
    bool m_historyOff = false;
    FollowFigures m_lastFollowEvent;
    mutable std::mutex m_followMutex;
    FollowLog m_followLog;
    bool m_followEventSent = false;
    uint64_t m_rateCrcFailures = 0;
    bool m_replayEventsEnded = true;
    DecodeSession m_session;

    mutable std::mutex m_configMutex;
    CONFIG m_config;
    EXTRASETTINGS m_extra;

    std::unique_ptr<ManualClock> m_replayClock;
    std::optional<int64_t> m_replayClockStart;
    std::unique_ptr<CaptureReplay> m_replay;
    std::atomic<bool> m_replayStarted{false};
    bool m_replayLive = false;
    ProcessingTotals m_lastTotals;
    uint64_t m_blocksOfEnded = 0;
    uint64_t m_blocksAtSave = 0;

    std::unique_ptr<TBackup> m_backup;

    std::atomic<bool> m_decodeActive{false};
    int m_heldTalkgroup = -1;
    int m_lastFollowedTalkgroup = -1;
    int64_t m_lastSystemSave = 0;
    bool m_backupRunning = false;
    bool m_closingDown = false;
    bool m_autoSaveTimerOn = false;
    bool m_stopping = false;
    int m_silentSeconds = 0;
    std::optional<std::chrono::steady_clock::time_point> m_portErrorStopAt;
    std::atomic<bool> m_rawDumpOn{false};
    std::atomic<bool> m_fillSaveFailed{false};
};
