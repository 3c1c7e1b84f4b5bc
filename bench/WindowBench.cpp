// A long replay through the desktop window with every tab shown, measuring what a user
// feels: how late a 10 ms timer fires on the user-interface thread while the lists fill,
// how fast the replay runs and how much memory the program holds.
// Usage: window_bench CAPTURE (a Zembrant dump), run offscreen. BENCH_NORMAL=1 runs the
// replay's threads at normal priority, to compare.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ui/MainWindow.h"

namespace
{
class QuietPrompter : public Prompter
{
public:
    bool Ask(QWidget*, const QString&, const QString&) override { return true; }
    void Tell(QWidget*, const QString&, const QString& text) override { finished = finished || text == "Decode Finished!"; }
    bool finished = false;
};

long PeakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_bench CAPTURE\n");
        return 2;
    }
    QTemporaryDir folder;
    QFile ini(folder.filePath("Zembrant.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    // Every tab and every log shown, each log saved to its file as it fills.
    ini.write("[Activity]\nShowGrantLog=Yes\nShowPatchList=Yes\n[Affiliations]\nAutoSave=Yes\n"
              "[Patches]\nAutoSave=Yes\n[OtherInfo]\nVisible=Yes\nAutoSave=Yes\n[Grants]\nVisible=Yes\nAutoSave=Yes\n"
              "[Unknowns]\nVisible=Yes\nAutoSave=Yes\n[PktDump]\nVisible=Yes\nAutoSave=Yes\n"
              "[PSRDUMP]\nVisible=Yes\nAutoSave=Yes\n");
    ini.close();

    CommandLine commandLine;
    commandLine.DataFolder = folder.path().toStdString() + "/";
    commandLine.ConfigFile = commandLine.DataFolder + "Zembrant.ini";
    commandLine.DefaultDataFolder = false;
    QuietPrompter prompter;
    MainWindow window(commandLine, prompter);
    if (qEnvironmentVariableIsSet("BENCH_NORMAL"))
        window.Control().ReplayAtLowPriority = false;
    window.resize(1200, 780);
    window.show();
    auto* tabs = window.findChild<QTabWidget*>();

    std::vector<double> lateness;
    lateness.reserve(100000);
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    uint64_t blocks = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.push_back(std::max(0.0, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 10.0));
        sinceTick.restart();
        blocks = std::max(blocks, window.Control().Totals().BlocksTaken);
        if (prompter.finished)
            app.quit();
    });
    // Each tab in turn is the one painted, so every list's drawing is part of the figures.
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] { tabs->setCurrentIndex((tabs->currentIndex() + 1) % tabs->count()); });

    double startMs = 0;
    double uiCpuBefore = 0;
    double cpuBefore = 0;
    QTimer::singleShot(0, [&] {
        uiCpuBefore = CpuSeconds(RUSAGE_THREAD);
        cpuBefore = CpuSeconds(RUSAGE_SELF);
        clock.start();
        window.StartReplay(QString::fromLocal8Bit(argv[1]), CaptureKind::ZembrantDump);
        startMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        sinceTick.start();
        probe.start(10);
        turn.start(250);
    });
    app.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double uiCpu = CpuSeconds(RUSAGE_THREAD) - uiCpuBefore;
    const double cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    const double p99 = Percentile(lateness, 0.99);
    const double worst = lateness.empty() ? 0 : *std::max_element(lateness.begin(), lateness.end());
    const long peakMb = PeakMemoryKb() / 1024;
    std::printf("window replay of %llu blocks: %.2f s, %.0f blocks a second; 10 ms timer lateness over %zu ticks: "
                "median %.2f ms, p99 %.2f ms, worst %.2f ms; peak memory %ld MB\n",
                static_cast<unsigned long long>(blocks), seconds, static_cast<double>(blocks) / seconds,
                lateness.size(), Percentile(lateness, 0.5), p99, worst, peakMb);
    // Load-independent: what the replay cost in processor time, on every thread and on the
    // user-interface thread alone.
    std::printf("starting the replay held the user-interface thread %.1f ms\n", startMs);
    std::printf("processor time: %.2f s in all, %.2f s on the user-interface thread\n", cpu, uiCpu);
    const bool met = p99 < 16 && worst < 100 && static_cast<double>(blocks) / seconds >= 300000 && peakMb < 150;
    std::printf("goals (p99 < 16 ms, worst < 100 ms, 300,000 blocks a second, under 150 MB): %s\n",
                met ? "met" : "not met");
    return 0;
}
