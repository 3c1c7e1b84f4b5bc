// zembrant-cli: the headless front end. Replays a capture file or decodes a live scanner,
// writes the system folder and the logs exactly as the desktop program would, and prints
// a summary (or JSON) at the end.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <thread>
#include <unistd.h>

#include "cli/CliConfig.h"
#include "cli/ChangesCommand.h"
#include "cli/CliOptions.h"
#include "cli/HistoryCommand.h"
#include "cli/ImportCommand.h"
#include "cli/NamesCommand.h"
#include "cli/ReconcileCommand.h"
#include "cli/Summary.h"
#include "input/CaptureReplay.h"
#include "session/Controller.h"
#include "persistence/Config.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"

namespace {

constexpr auto ProgressInterval = std::chrono::milliseconds(200);
constexpr auto EndPollInterval = std::chrono::milliseconds(5);
constexpr auto RefreshInterval = std::chrono::milliseconds(10);
constexpr auto AutoSaveInterval = std::chrono::seconds(60);
// How long the end of a run waits for a broker to take the last events.
constexpr auto EventsDrainTime = std::chrono::milliseconds(10000);

// A replay stopped by signal N exits with 128 + N, as shells report it.
constexpr int SignalExitBase = 128;

std::atomic<bool> g_stopRequested{false};
// The signal that asked for the stop; 0 for none.
std::atomic<int> g_stopSignal{0};

void OnSignal(int signal)
{
    // After a hang-up the terminal or ssh pipe may be gone: a message written to it must
    // not end the run before it has saved.
    if (signal == SIGHUP)
        std::signal(SIGPIPE, SIG_IGN);
    g_stopSignal = signal;
    g_stopRequested = true;
}

// A hang-up (closed terminal, lost ssh connection) stops and saves like the others.
void InstallSignalHandlers()
{
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// The logs a run writes, and the switches that make the decoder feed them.
void ApplyLogChoice(CONFIG& config, const std::vector<LogKind>& logs)
{
    const auto wanted = [&](LogKind kind) { return std::find(logs.begin(), logs.end(), kind) != logs.end(); };
    config.AffiliationsAutoSave = wanted(LogKind::Affiliations);
    config.GrantsVisible = config.GrantsAutoSave = wanted(LogKind::GrantTrace);
    config.OtherInfoVisible = config.OtherInfoAutoSave = wanted(LogKind::OtherEvents);
    config.PatchesAutoSave = wanted(LogKind::PatchLog);
    config.UnknownsVisible = config.UnknownsAutoSave = wanted(LogKind::UnknownPackets);
    config.PktDumpVisible = config.PktDumpAutoSave = wanted(LogKind::PacketDump);
    config.PsrDumpVisible = config.PsrDumpAutoSave = wanted(LogKind::RawDump);
}

class Run
{
public:
    explicit Run(const CliOptions& options)
        : m_options(options), m_controller(), m_model(m_controller.Model()), m_refresh(m_controller.Refresh())
    {
        m_controller.ReplayAtLowPriority = false;
        m_controller.onSaveError = [this](const std::string& error) { ReportOnce(error); };
    }

    bool Prepare()
    {
        if (!LoadCliConfiguration(m_options, m_config, m_extra, m_folderLock))
            return false;
        if (m_options.Logs)
            ApplyLogChoice(m_config, *m_options.Logs);
        if (!m_options.Port.empty())
            m_config.CommPort = m_options.Port;
        if (m_options.ScannerType >= 0)
            m_config.ScannerType = m_options.ScannerType;

        if (m_options.NoHistory)
            m_controller.SetHistoryOff();
        m_controller.SetSettings(m_config, m_extra);
        if (!m_options.EventsFile.empty()) {
            std::string error;
            if (!m_controller.SetEventsFile(m_options.EventsFile, error)) {
                Fail("--events: " + error);
                return false;
            }
        }
        if (!m_options.MqttAddress.empty()) {
            // What the address leaves out (a password, a client id) comes from the configuration.
            MqttSettings settings = MqttSettings::From(m_config);
            std::string error;
            ParseMqttAddress(m_options.MqttAddress, settings, error);
            m_controller.SetMqttOverride(settings);
        }
        // Rows about to be emptied by a reset are written first, into their own site's file.
        m_refresh.Logs.onClear = [this](LogKind kind) { SaveLog(kind); };
        return true;
    }

    int Replay()
    {
        std::string error;
        m_controller.ReplayBegin();
        if (!m_controller.ReplayOpen(m_options.File, error, m_options.ClockStart)) {
            Fail(m_options.File + ": " + error);
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const bool progress = !m_options.Quiet && isatty(STDERR_FILENO);
        m_controller.ReplayStart(m_options.Kind);
        auto nextProgress = start + ProgressInterval;
        while (!m_controller.PollReplayEnded()) {
            ShowFileWarnings();
            std::this_thread::sleep_for(EndPollInterval);
            if (m_controller.ReplayRunsLive()) {
                m_controller.RefreshStep();
                EverySecond();
            }
            if (g_stopRequested)
                m_controller.ReplayRequestStop();
            if (progress && std::chrono::steady_clock::now() >= nextProgress) {
                nextProgress += ProgressInterval;
                ShowProgress(m_controller.ReplayResult().Progress, start);
            }
        }
        if (progress)
            std::cerr << "\r" << std::string(60, ' ') << "\r";

        const ReplayOutcome outcome = m_controller.ReplayResult();
        m_counters.Blocks = outcome.Totals;
        m_counters.LinesRead = outcome.Progress.Lines;
        m_counters.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The replay's clock stamps what is saved now; the model returns to the live clock
        // when the run is written.
        // What was decoded before a read error is still saved, but a cut capture gets no
        // summary that could pass for the whole.
        if (!outcome.ReadError.empty()) {
            Finish(false);
            m_controller.ReplayFinish();
            Fail(m_options.File + ": read error: " + outcome.ReadError);
            return 1;
        }
        const int result = Finish();
        m_controller.ReplayFinish();
        if (result == 0 && !outcome.Whole && g_stopSignal != 0)
            return SignalExitBase + g_stopSignal;
        return result;
    }

    int Live()
    {
        std::mutex errorMutex;
        std::string portError;
        m_controller.onPortError = [&](const std::string& text) {
            std::lock_guard guard(errorMutex);
            portError = text;
            g_stopRequested = true;
        };
        m_controller.onScannerNotice = [](const std::string& text) { Fail("scanner control: " + text); };

        const auto start = std::chrono::steady_clock::now();
        m_controller.StartDecodeSession();
        auto nextSave = start + AutoSaveInterval;
        while (!g_stopRequested) {
            ShowFileWarnings();
            std::this_thread::sleep_for(RefreshInterval);
            m_controller.RefreshStep();
            EverySecond();
            const auto now = std::chrono::steady_clock::now();
            if (now >= nextSave) {
                nextSave = now + AutoSaveInterval;
                std::string errors;
                if (!m_controller.AutoSavePass(errors))
                    Fail(errors);
            }
            if (m_options.Duration > 0 && now - start >= std::chrono::duration<double>(m_options.Duration))
                break;
        }
        // The CLI writes everything at the end itself, whatever the stop-time settings say.
        CONFIG config = m_controller.Config();
        config.DataSaveOnDecodeStop = false;
        config.LogSaveOnDecodeStop = false;
        m_controller.SetConfig(config);
        std::string errors;
        m_controller.StopBegin(errors);
        while (!m_controller.StopPoll())
            std::this_thread::sleep_for(EndPollInterval);
        m_controller.StopFinish();
        m_counters.Blocks = m_controller.Totals();
        m_counters.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::lock_guard guard(errorMutex);
        if (portError.empty())
            return Finish();
        // What came before a lost port is saved, and summed up when there was any; the
        // port's message is the answer.
        Finish(m_counters.Blocks.BlocksTaken > 0);
        Fail(m_config.CommPort + ": " + portError);
        return 1;
    }

private:
    bool Writes(LogKind kind) const { return IsLogAutoSaved(m_config, kind); }

    void SaveLog(LogKind kind)
    {
        if (!Writes(kind))
            return;
        std::string error;
        if (!m_refresh.Logs.List(kind).Save(m_model.GetDataFolder(), m_model.LogSite(), m_config.IncludeDate,
                                            m_model.Now(), error))
            ReportOnce(error);
    }

    void ReportOnce(const std::string& error)
    {
        if (m_reported)
            return;
        m_reported = true;
        Fail(error);
    }

    void ShowProgress(const ReplayProgress& p, std::chrono::steady_clock::time_point start)
    {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int percent = p.TotalBytes ? static_cast<int>(p.BytesRead * 100 / p.TotalBytes) : 100;
        std::fprintf(stderr, "\r%3d%%  %llu blocks  %.0f blocks a second   ", percent,
                     static_cast<unsigned long long>(p.Blocks), seconds > 0 ? p.Blocks / seconds : 0.0);
        std::fflush(stderr);
    }

    // Folder files that could not be understood, loaded on the processing thread, and
    // what the event outputs have to say (a lost broker).
    void ShowFileWarnings()
    {
        for (const std::string& warning : m_model.TakeFileWarnings())
            Fail("warning: " + warning);
        for (const std::string& notice : m_controller.Events().TakeNotices())
            TellEvents(notice);
    }

    void TellEvents(const std::string& notice)
    {
        // The history speaks for itself; a run whose history failed is no success.
        if (notice.starts_with(HistoryNoticePrefix)) {
            Fail("history: " + notice.substr(std::strlen(HistoryNoticePrefix)));
            m_historyFailed = true;
            return;
        }
        Fail("events: " + notice);
        m_eventsTold = true;
    }

    // The one-second figures: the rate event of a live run.
    void EverySecond()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now < m_nextSecond)
            return;
        m_nextSecond = now + std::chrono::seconds(1);
        for (const std::string& notice : m_controller.OneSecond().EventNotices)
            TellEvents(notice);
    }

    // Whatever the events still hold goes out before the summary counts them.
    void FinishEvents()
    {
        if (!m_controller.Events().IsOn())
            return;
        // Events asked for and never sent make the run a failure; what the broker said
        // about it was told already.
        m_eventsUnsent = !m_controller.FinishEvents(EventsDrainTime);
        const bool historyWritten = m_controller.SyncHistory(EventsDrainTime);
        ShowFileWarnings();
        if (!historyWritten && !m_historyFailed)
            TellEvents(std::string(HistoryNoticePrefix) + "the last rows were not written in " +
                       std::to_string(EventsDrainTime.count() / 1000) + " s");
        if (m_eventsUnsent && !m_eventsTold)
            TellEvents("the MQTT broker did not take every event in " +
                       std::to_string(EventsDrainTime.count() / 1000) + " s");
        if (!m_controller.EventLinesOn())
            return;
        m_counters.EventsOn = true;
        m_counters.EventsPublished = m_controller.Events().Published();
        m_counters.EventsDropped = m_controller.Events().Dropped();
    }

    int Finish(bool summary = true)
    {
        FinishEvents();
        if (m_config.ScanControlEnabled)
            m_counters.FollowReasons = m_controller.FollowReasonCounts();
        m_refresh.DrainLogs();
        m_counters.LogRecordsDropped = m_model.DroppedLogRecords();
        // Rows of a written log that its cap pushed out before they reached the file.
        for (int k = 0; k < LogKindCount; ++k)
            if (Writes(static_cast<LogKind>(k)))
                m_counters.LogRecordsDropped += m_refresh.Logs.List(static_cast<LogKind>(k)).UnsavedDroppedCount();
        m_refresh.RequestFullRedraw = true;
        m_refresh.RunCycle({false, -1, false});
        for (int k = 0; k < LogKindCount; ++k)
            SaveLog(static_cast<LogKind>(k));
        int result = m_reported || m_eventsUnsent || m_historyFailed ? 1 : 0;
        if (m_model.GetSystemId() != 0) {
            std::string error;
            if (!m_model.SaveSystemFolder(error)) {
                Fail(error);
                result = 1;
            }
        }
        if (!m_options.ChangesFile.empty()) {
            std::string error;
            if (!WriteReport(m_controller.ChangesTable(), m_options.ChangesFile, error)) {
                Fail("--changes: " + error);
                result = 1;
            }
        }
        ShowFileWarnings();
        // Standard output may carry the events.
        std::ostream& out = m_options.EventsFile == "-" ? std::cerr : std::cout;
        if (summary && m_options.Json)
            out << SummaryJson(m_model, m_counters);
        else if (summary && !m_options.Quiet)
            out << SummaryText(m_model, m_refresh, m_counters);
        return result;
    }

    const CliOptions& m_options;
    // First in, last out: held until everything of the run is saved.
    DataFolderLock m_folderLock;
    CONFIG m_config;
    EXTRASETTINGS m_extra;
    Controller m_controller;
    P25Class& m_model;
    RefreshCycle& m_refresh;
    RunCounters m_counters;
    bool m_reported = false;
    bool m_eventsTold = false;
    bool m_eventsUnsent = false;
    bool m_historyFailed = false;
    std::chrono::steady_clock::time_point m_nextSecond = std::chrono::steady_clock::now() + std::chrono::seconds(1);
};

}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "changes") == 0)
        return RunChangesCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (argc > 1 && std::strcmp(argv[1], "reconcile") == 0)
        return RunReconcileCommand(std::vector<std::string>(argv + 2, argv + argc));
    // history and names take options of their own.
    if (argc > 1 && (std::strcmp(argv[1], "history") == 0 || std::strcmp(argv[1], "names") == 0)) {
        const std::vector<std::string> args(argv + 2, argv + argc);
        return std::strcmp(argv[1], "history") == 0 ? RunHistoryCommand(args) : RunNamesCommand(args);
    }
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        Fail(error);
        std::cerr << "Try 'zembrant-cli --help'.\n";
        return 2;
    }
    if (options.Command == CliOptions::Mode::Help) {
        std::cout << CliUsage;
        return 0;
    }
    if (options.Command == CliOptions::Mode::Version) {
        std::cout << "zembrant-cli " << ZEMBRANT_VERSION << "\n";
        return 0;
    }
    if (options.Command == CliOptions::Mode::Import) {
#ifdef ZEMBRANT_IMPORT
        return RunImport(options);
#else
        Fail("import is not built into this zembrant-cli: it needs Qt 6 Network (BUILD_GUI)");
        return 1;
#endif
    }
    InstallSignalHandlers();
    // A reader of the events that goes away (jq ended) is told by EPIPE, not a signal.
    if (options.EventsFile == "-")
        std::signal(SIGPIPE, SIG_IGN);

    Run run(options);
    if (!run.Prepare())
        return 1;
    return options.Command == CliOptions::Mode::Replay ? run.Replay() : run.Live();
}
