// The window's sessions as people end them: closing during a pipe replay, the counts while
// a capture trickles in, the question at exit, a port that cannot be opened.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <tuple>

#include "TestWindow.h"
#include "ui/HistoryDialog.h"
#include "ui/ListModels.h"
#include "ui/MainWindow.h"
#include "ui/NamesDialog.h"
#include "ui/ReportDialog.h"

namespace {

QByteArray SampleLines()
{
    QFile sample(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"));
    return sample.open(QIODevice::ReadOnly) ? sample.readAll() : QByteArray();
}

QString Label(MainWindow& window, const char* name)
{
    return window.findChild<QLabel*>(QString::fromUtf8(name))->text();
}

bool HasSystemFolder(const QString& folder)
{
    const QStringList saved = QDir(folder).entryList({"System*"}, QDir::Dirs);
    return saved.size() == 1 && QDir(folder + "/" + saved[0]).exists("TalkGroups.txt");
}

// A FIFO the test writes in steps, kept open between them.
class Fifo
{
public:
    explicit Fifo(const QString& path) : m_path(path.toStdString()) { mkfifo(m_path.c_str(), 0600); }
    ~Fifo() { Close(); }
    bool Write(const QByteArray& bytes)
    {
        // The replay opens its end first; a writer without a reader would fail with ENXIO.
        for (int tries = 0; m_fd < 0 && tries < 500; ++tries) {
            m_fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (m_fd < 0)
                QTest::qWait(10);
        }
        if (m_fd < 0)
            return false;
        fcntl(m_fd, F_SETFL, 0);
        return ::write(m_fd, bytes.data(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace

class WindowSessionTest : public QObject
{
    Q_OBJECT

private slots:
    // The counts follow the model at each refresh while a pipe delivers the capture in steps;
    // then the close ends the replay at once, with no notice, and saves as the settings say.
    void countsFollowAPipeAndTheCloseEndsIt()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), "[AutoSave]\nDataSaveOnExit=Yes\n"), prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Fifo fifo(folder.filePath("capture.fifo"));
        window.StartReplay(folder.filePath("capture.fifo"), CaptureKind::ZembrantDump);
        QVERIFY(window.DecodeActive());

        const QList<QByteArray> lines = SampleLines().split('\n');
        QVERIFY(lines.size() > 4000);
        constexpr int Steps = 4;
        const qsizetype step = lines.size() / Steps;
        for (int s = 0; s < Steps; ++s) {
            QVERIFY(fifo.Write(lines.mid(s * step, step).join('\n') + '\n'));
            const uint64_t sent = static_cast<uint64_t>((s + 1) * step);
            QTRY_VERIFY_WITH_TIMEOUT(window.Control().ReplayResult().Progress.Lines >= sent - 1 &&
                                         !window.Control().Queue().HasData(),
                                     20000);
            QTRY_COMPARE(Label(window, "Talkgroup ID Count:"), QString::number(window.Model().TalkgroupCount()));
            QTRY_COMPARE(Label(window, "Radio ID Count:"), QString::number(window.Model().RadioCount()));
        }
        QVERIFY(window.Model().TalkgroupCount() > 20);

        QElapsedTimer closing;
        closing.start();
        window.close();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 2000);
        QVERIFY(closing.elapsed() < 2000);
        QVERIFY(!prompter.Told.join('\n').contains("Decode Finished!"));
        QVERIFY(HasSystemFolder(folder.path()));
    }

    // A replay that ended is a stop: nothing saved it, so the exit asks, and Yes saves.
    void exitAsksToSaveWhatAFinishedReplayLearned()
    {
        for (const bool yes : {false, true}) {
            QTemporaryDir folder;
            ScriptedPrompter prompter;
            prompter.Answers = {yes};
            MainWindow window(TestCommandLine(folder.path(), ""), prompter);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
            QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Complete: Decode Finished!"), 60000);
            window.close();
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
            QVERIFY(prompter.Told.contains(
                "Save System Information: Save the system information learned since the last save?"));
            QCOMPARE(HasSystemFolder(folder.path()), yes);
        }
    }

    // With the stop-time save on, the replay's end saves and the exit has nothing to ask.
    void replayEndSavesAsADecodeStop()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), "[AutoSave]\nDataSaveOnDecodeStop=Yes\n"), prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Complete: Decode Finished!"), 60000);
        QVERIFY(HasSystemFolder(folder.path()));
        window.close();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
        QVERIFY(!prompter.Told.join('\n').contains("Save the system information"));
    }

    // The row menu opens the history of the clicked row's radio, read while the window runs.
    void rowMenuOpensTheRadiosHistory()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), ""), prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Complete: Decode Finished!"), 60000);
        QVERIFY(window.Control().SyncHistory(std::chrono::seconds(10)));

        ListView* log = window.List(QStringLiteral("affiliationLog"));
        QVERIFY(log->model()->rowCount() > 0);
        const QModelIndex first = log->model()->index(0, 0);
        const int radio = log->model()->index(0, 4).data().toInt();
        QVERIFY(radio > 0);
        log->setCurrentIndex(first);
        emit log->clicked(first);
        auto* menu = window.findChild<QMenu*>(QStringLiteral("rowMenu"));
        QAction* history = menu->actions()[3];
        QCOMPARE(history->text(), QStringLiteral("History of this Radio ID"));
        history->trigger();

        HistoryDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = window.findChild<HistoryDialog*>(QStringLiteral("history"))) && dialog->IsRead());
        QAbstractItemModel* rows = dialog->List()->model();
        QVERIFY(rows->rowCount() > 0);
        for (int r = 0; r < rows->rowCount(); ++r) {
            const int caller = rows->index(r, 8).data().toInt();
            const int called = rows->index(r, 10).data().toInt();
            QVERIFY2(caller == radio || called == radio, qPrintable(QString::number(r)));
        }
        // Newest first.
        QVERIFY(rows->index(0, 0).data().toString() >= rows->index(rows->rowCount() - 1, 0).data().toString());
        const QString summary = dialog->findChild<QLabel*>(QStringLiteral("historySummary"))->text();
        QVERIFY2(summary.startsWith(QString::number(rows->rowCount()) + " row"), qPrintable(summary));
        QDir().mkpath(QStringLiteral(ZEMBRANT_SCREENSHOTS));
        QVERIFY(dialog->grab().save(QStringLiteral(ZEMBRANT_SCREENSHOTS "/History.png")));
        window.close();
    }

    // The System menu's names: an export the same menu imports back, and a list of its own.
    void namesGoOutAndComeBackThroughTheSystemMenu()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), ""), prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Complete: Decode Finished!"), 60000);

        const auto run = [&](const QString& item, const QString& path, int table, bool screenshot) {
            QTimer::singleShot(50, [&, path, table, screenshot] {
                auto* dialog = window.findChild<NamesDialog*>(QStringLiteral("names"));
                QVERIFY(dialog && dialog->isVisible());
                dialog->PathField()->setText(path);
                dialog->findChildren<QRadioButton*>()[table]->click();
                if (screenshot) {
                    QDir().mkpath(QStringLiteral(ZEMBRANT_SCREENSHOTS));
                    dialog->grab().save(QStringLiteral(ZEMBRANT_SCREENSHOTS "/ImportNames.png"));
                }
                dialog->accept();
            });
            for (QAction* action : window.menuBar()->actions())
                for (QAction* entry : action->menu() ? action->menu()->actions() : QList<QAction*>())
                    if (entry->text() == item)
                        entry->trigger();
        };
        const int told = prompter.Told.size();
        run(QStringLiteral("E&xport Names to CSV..."), folder.filePath("talkgroups.csv"), 0, false);
        QTRY_COMPARE(prompter.Told.size(), told + 1);
        QVERIFY2(prompter.Told.last().startsWith("Export Names: Names written"), qPrintable(prompter.Told.last()));
        QVERIFY(QFile(folder.filePath("talkgroups.csv")).size() > 100);

        QFile radios(folder.filePath("radios.csv"));
        QVERIFY(radios.open(QIODevice::WriteOnly));
        radios.write("id,name\n9999991,Engine 7\nnot a number,x\n");
        radios.close();
        run(QStringLiteral("Import &Names from CSV..."), radios.fileName(), 1, true);
        QTRY_COMPARE(prompter.Told.size(), told + 2);
        QVERIFY2(prompter.Told.last().contains("Line 3:"), qPrintable(prompter.Told.last()));
        QCOMPARE(window.Control().Model().FindRadioDescription(9999991), std::string("Engine 7"));
        window.close();
    }

    // What changed and the follow decisions of a replay, each a list of its own.
    void reportsOpenFromTheMenus()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), ""), prompter);
        window.resize(1200, 760);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Complete: Decode Finished!"), 60000);
        QDir().mkpath(QStringLiteral(ZEMBRANT_SCREENSHOTS));
        for (const auto& [item, name, shot] :
             {std::tuple{"What &Changed...", "changes", "WhatChanged"}, {"Follow &Decisions...", "follow", "Follow"},
              {"Com&pare with Radio Reference...", "reconcile", "Compare"}}) {
            for (QAction* menu : window.menuBar()->actions())
                for (QAction* entry : menu->menu() ? menu->menu()->actions() : QList<QAction*>())
                    if (entry->text() == QString::fromUtf8(item))
                        entry->trigger();
            ReportDialog* dialog = nullptr;
            QTRY_VERIFY((dialog = window.findChild<ReportDialog*>(QString::fromUtf8(name))) && dialog->IsMade());
            // A system seen for the first time: everything in it is new. The replay had no
            // second scanner, so every call it chose says so.
            // Without an import the comparison says how to make one.
            if (std::string_view(name) == "reconcile")
                QVERIFY(dialog->Table().Empty.starts_with("No directory import yet"));
            else
                QVERIFY2(dialog->List()->model()->rowCount() > 10, name);
            dialog->resize(dialog->width(), 300);
            QVERIFY(dialog->grab().save(QStringLiteral(ZEMBRANT_SCREENSHOTS "/") + QString::fromUtf8(shot) + ".png"));
            dialog->close();
        }
        window.close();
    }

    void missingPortShowsTheReadersMessage()
    {
        QTemporaryDir folder;
        ScriptedPrompter prompter;
        MainWindow window(TestCommandLine(folder.path(), "[Communications]\nPort=" +
                                                             folder.filePath("ttyMissing").toUtf8() +
                                                             "\nScannerType=1\n"),
                          prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.StartDecodeSession();
        QTRY_VERIFY_WITH_TIMEOUT(prompter.Told.contains("Serial Port Open Error: Port does not exist!"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!window.DecodeActive(), 5000);
    }
};

QTEST_MAIN(WindowSessionTest)
#include "WindowSessionTest.moc"
