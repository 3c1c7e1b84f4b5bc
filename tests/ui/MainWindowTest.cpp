// The window driven as a user drives it, offscreen.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QHeaderView>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestWindow.h"
#include "platform/DataFolderLock.h"
#include "ui/DataFolderChoice.h"
#include "ui/ListModels.h"
#include "ui/MainWindow.h"
#include "ui/RateChart.h"

namespace {

// Every tab shown, and the lists under the activity list too.
constexpr char AllTabsShown[] = "[Activity]\nShowGrantLog=Yes\nShowPatchList=Yes\n[OtherInfo]\nVisible=Yes\n"
                                "[Grants]\nVisible=Yes\n[Unknowns]\nVisible=Yes\n[PktDump]\nVisible=Yes\n"
                                "[PSRDUMP]\nVisible=Yes\n";

const char* const ListNames[] = {"activity",       "currentPatches", "recentGrants",   "affiliationLog",
                                 "filterRanges",   "affiliations",   "adjacentSites",  "siteInformation",
                                 "identifierTables", "patchList",    "patchLog",       "otherEvents",
                                 "grantTrace",     "unknownPackets", "packetDump",     "rawDump"};

// Runs answer on the next modal dialog once it is up.
void WhenModal(const std::function<void(QWidget*)>& answer)
{
    QTimer::singleShot(10, [answer] {
        if (QWidget* modal = QApplication::activeModalWidget())
            answer(modal);
        else
            WhenModal(answer);
    });
}

QPushButton* ButtonOf(QWidget* dialog, const QString& text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_window = std::make_unique<MainWindow>(TestCommandLine(m_folder.path(), AllTabsShown), m_prompter);
        m_window->resize(1100, 760);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        for (const char* name : ListNames) {
            ListView* view = m_window->List(name);
            QVERIFY2(view, name);
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                view->Source(), QAbstractItemModelTester::FailureReportingMode::QtTest));
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                view->Proxy(), QAbstractItemModelTester::FailureReportingMode::QtTest));
        }
        m_window->StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        QTRY_VERIFY_WITH_TIMEOUT(m_prompter.Told.contains("Complete: Decode Finished!"), 120000);
        QVERIFY(!m_window->DecodeActive());
    }

    void cleanupTestCase()
    {
        m_testers.clear();
        m_window.reset();
    }

    void replayFillsTheLists()
    {
        for (const char* name : {"affiliations", "affiliationLog", "grantTrace", "adjacentSites", "siteInformation",
                                 "patchLog", "otherEvents", "packetDump"})
            QVERIFY2(m_window->List(name)->model()->rowCount() > 0, name);
        auto* tabs = m_window->findChild<QTabWidget*>();
        QCOMPARE(tabs->tabText(2), QStringLiteral("Affiliation List (%1)")
                                       .arg(m_window->List("affiliations")->model()->rowCount()));
        QCOMPARE(m_window->findChild<QLabel*>("SysID:")->text(), QStringLiteral("C94"));
    }

    // Before the tests below change the lists.
    void screenshotOfEveryTab()
    {
        const QString folder = QStringLiteral(ZEMBRANT_SCREENSHOTS);
        QVERIFY(QDir().mkpath(folder));
        auto* tabs = m_window->findChild<QTabWidget*>();
        m_window->Refresh().RequestFullRedraw = true;
        QTest::qWait(50);
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QTest::qWait(30);
            const QString name = tabs->tabText(tab).section(' ', 0, -1).remove(QRegularExpression("[^A-Za-z]"));
            QVERIFY(m_window->grab().save(QStringLiteral("%1/%2-%3.png").arg(folder).arg(tab).arg(name)));
        }
        // The rate chart of the decode panel draws its line once the one-second timer fed it.
        auto* chart = m_window->findChild<RateChart*>("rateChart");
        QTRY_VERIFY(chart->Count() > 0);
        const QImage image = chart->grab().toImage();
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = image.pixelColor(x, y) == RateChart::RateColor;
        QVERIFY(drawn);
        QVERIFY(m_window->findChild<QGroupBox*>("decodePanel")->grab().save(folder + "/DecodeInformation.png"));
    }

    void headerClickSortsAndTheSortSurvivesTheNextRefresh()
    {
        ListView* view = m_window->List("affiliations");
        m_window->findChild<QTabWidget*>()->setCurrentIndex(2);
        QHeaderView* header = view->horizontalHeader();
        const int radioColumn = 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(radioColumn) + 5, header->height() / 2));
        auto sortedByRadio = [view] {
            for (int row = 1; row < view->model()->rowCount(); ++row)
                if (view->model()->index(row - 1, 2).data().toString().toLongLong() >
                    view->model()->index(row, 2).data().toString().toLongLong())
                    return false;
            return true;
        };
        QVERIFY(sortedByRadio());
        m_window->Refresh().RequestFullRedraw = true;
        QTest::qWait(100);
        QVERIFY(sortedByRadio());
        QCOMPARE(header->sortIndicatorSection(), radioColumn);
    }

    void rightClickCaptionsFollowTheRow()
    {
        ListView* view = ShowActivityRows();
        auto* menu = m_window->findChild<QMenu*>("rowMenu");
        struct Case
        {
            int Row;
            QString Talkgroup;
            QString Radio;
        };
        const Case cases[] = {
            {0, "Edit TalkGroup 1234 ", "Edit Radio ID 5001"},
            {1, "Edit TalkGroups", "Edit Radio ID 7007"},
            {2, "Edit TalkGroups", "Edit Radio IDs"},
        };
        for (const Case& c : cases) {
            const QRect cell = view->visualRect(view->model()->index(c.Row, 0));
            emit view->customContextMenuRequested(cell.center());
            QCOMPARE(menu->actions()[0]->text(), c.Talkgroup);
            QCOMPARE(menu->actions()[1]->text(), c.Radio);
            menu->hide();
        }
    }

    void doubleClickHoldsTheRowsTalkgroup()
    {
        ListView* view = ShowActivityRows();
        const QRect idle = view->visualRect(view->model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, idle.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, idle.center());
        QCOMPARE(m_window->HeldTalkgroup(), -1);
        const QRect call = view->visualRect(view->model()->index(0, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, call.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, call.center());
        QCOMPARE(m_window->HeldTalkgroup(), 1234);
        QTRY_COMPARE(m_window->findChild<QLabel*>("holdLabel")->text(), QStringLiteral("Holding Talkgroup 1234"));
        m_window->ToggleHold();
        QCOMPARE(m_window->HeldTalkgroup(), -1);
        QTRY_COMPARE(m_window->findChild<QLabel*>("holdLabel")->text(), QStringLiteral("No Hold"));
    }

    void activityRowColoursFollowTheTalkgroup()
    {
        ListView* view = ShowActivityRows();
        P25Class& model = m_window->Model();
        model.AddTalkgroup(1234);
        struct Case
        {
            uint32_t Text, Back; // 0x00BBGGRR
            QColor Foreground, Background;
        };
        const Case cases[] = {
            {0x0000FF, 0xFFFF00, QColor(255, 0, 0), QColor(0, 255, 255)},
            {0x00FF00, 0x000000, QColor(0, 255, 0), QColor(0, 0, 0)},
        };
        for (const Case& c : cases) {
            QVERIFY(model.SetTalkgroupColors(1234, c.Text, c.Back));
            m_window->Refresh().onSection(RefreshCycle::Section::Activity);
            for (int column : {0, 5, 8}) {
                const QModelIndex cell = view->model()->index(0, column);
                QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), c.Foreground);
                QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(), c.Background);
            }
        }
    }

    void saveWritesTheLogAndClearEmptiesTheList()
    {
        const LogList& patchLog = m_window->Refresh().Logs.List(LogKind::PatchLog);
        QVERIFY(patchLog.HasUnsaved());
        m_window->findChild<QPushButton*>("save patchLog")->click();
        QVERIFY(!patchLog.HasUnsaved());
        QDirIterator files(m_folder.path(), {"*.csv", "*.txt", "*.log"}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(files.hasNext());
        m_window->findChild<QPushButton*>("clear patchLog")->click();
        QCOMPARE(m_window->List("patchLog")->model()->rowCount(), 0);
    }

    void clearAsksFirstWhenConfirmationsAreOn()
    {
        m_window->Config().Confirmations = true;
        const std::pair<const char*, bool> cases[] = {
            {"otherEvents", true}, {"grantTrace", true}, {"affiliationLog", true}, {"packetDump", true}, {"rawDump", false}};
        for (const auto& [list, asks] : cases) {
            QAbstractItemModel* rows = m_window->List(list)->model();
            auto* clear = m_window->findChild<QPushButton*>(QStringLiteral("clear ") + list);
            const int before = rows->rowCount();
            QVERIFY2(before > 0 || !asks, list);
            m_prompter.Told.clear();
            m_prompter.Answers = {false, true};
            clear->click();
            QCOMPARE(rows->rowCount(), asks ? before : 0);
            clear->click();
            QCOMPARE(rows->rowCount(), 0);
            const QString question = QStringLiteral("Clear Screen: Clear this screen?");
            QCOMPARE(m_prompter.Told, asks ? QStringList({question, question}) : QStringList());
        }
        m_window->Config().Confirmations = false;
        m_prompter.Answers.clear();
    }

    void holdPromptHoldsOnHoldOnly()
    {
        auto* hold = m_window->findChild<QPushButton*>("holdButton");
        QString title;
        QStringList buttons;
        WhenModal([&](QWidget* dialog) {
            title = dialog->windowTitle();
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                buttons << button->text() + (button->isDefault() ? "*" : "");
            dialog->findChild<QLineEdit*>()->setText(QStringLiteral("4321"));
            ButtonOf(dialog, QStringLiteral("Hold"))->click();
        });
        hold->click();
        QCOMPARE(title, QStringLiteral("Hold TalkGroup"));
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Cancel", "Hold*"}));
        QCOMPARE(m_window->HeldTalkgroup(), 4321);
        QCOMPARE(hold->text(), QStringLiteral("Release Hold"));
        hold->click();
        QCOMPARE(m_window->HeldTalkgroup(), -1);
        WhenModal([](QWidget* dialog) { ButtonOf(dialog, QStringLiteral("Cancel"))->click(); });
        hold->click();
        QCOMPARE(m_window->HeldTalkgroup(), -1);
        QCOMPARE(hold->text(), QStringLiteral("Hold TalkGroup"));
    }

    void replayDialogsOfferTheirChoices()
    {
        m_window->chooseCaptureFile = [] { return QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"); };
        QString kind;
        WhenModal([&kind](QWidget* dialog) {
            kind = QString::number(dialog->findChild<QComboBox*>()->currentIndex()) + ' ' +
                   dialog->findChild<QComboBox*>()->currentText();
            static_cast<QDialog*>(dialog)->reject();
        });
        DecodeMenuItem("Read data from &File")->trigger();
        QCOMPARE(kind, QStringLiteral("0 Anritsu"));

        m_window->chooseCaptureFile = nullptr;
        QStringList filters;
        WhenModal([&filters](QWidget* dialog) {
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; types && i < types->count(); ++i)
                filters << types->itemText(i);
            static_cast<QDialog*>(dialog)->reject();
        });
        DecodeMenuItem("Read data from &File")->trigger();
        QCOMPARE(filters, (QStringList{"All Supported Files (*.p25,*.log,*.txt)", "Anritsu P25 Data File (*.p25)",
                                       "Log Files (*.log)", "Text Files (*.txt)", "All Files (*.*)"}));
        QVERIFY(!m_window->DecodeActive());
    }

    // A pipe whose writer never writes: only the button ends its replay.
    void stopButtonStopsAReplay()
    {
        const QByteArray fifo = QFile::encodeName(m_folder.filePath("capture.fifo"));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        const int writer = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0);
        m_window->StartReplay(QFile::decodeName(fifo), CaptureKind::ZembrantDump);
        QVERIFY(m_window->DecodeActive());
        auto* button = m_window->findChild<QPushButton*>("startStop");
        QTest::qWait(100);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("Stop Data Decode"));
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->DecodeActive(), 10000);
        QCOMPARE(button->text(), QStringLiteral("Read Data From Radio"));
        ::close(writer);
    }

    // Typed, a threshold counts when the field is left, never digit by digit.
    void typedThresholdsCountAsAWhole()
    {
        auto* high = m_window->findChild<QSpinBox*>("thresholdHigh");
        auto* low = m_window->findChild<QSpinBox*>("thresholdLow");
        high->setValue(40);
        low->setValue(1);
        const std::pair<const char*, int> cases[] = {{"60", 1}, {"25", 25}, {"0", 25}, {"40", 40}, {"41", 40}};
        for (const auto& [typed, shown] : cases) {
            low->findChild<QLineEdit*>()->selectAll();
            QTest::keyClicks(low, QString::fromUtf8(typed));
            QTest::keyClick(low, Qt::Key_Return);
            QCOMPARE(low->value(), shown);
            QCOMPARE(m_window->Config().MonitorThresholdLow, shown);
        }
        high->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(high, QStringLiteral("55"));
        QTest::keyClick(high, Qt::Key_Return);
        QCOMPARE(m_window->Config().MonitorThresholdHigh, 55);
        high->setValue(99);
    }

    void menuLettersAreUniqueInEachMenu()
    {
        QStringList clashes;
        auto check = [&clashes](const QString& menu, const QList<QAction*>& actions) {
            QStringList letters;
            for (const QAction* action : actions) {
                const QString text = QString(action->text()).replace(QStringLiteral("&&"), QString());
                const qsizetype at = text.indexOf('&');
                if (action->isSeparator() || at < 0 || at + 1 >= text.size())
                    continue;
                const QString letter = text.mid(at + 1, 1).toLower();
                if (letters.contains(letter))
                    clashes << menu + ": " + action->text();
                letters << letter;
            }
        };
        check(QStringLiteral("menu bar"), m_window->menuBar()->actions());
        for (const QMenu* menu : m_window->findChildren<QMenu*>())
            check(menu->title(), menu->actions());
        QCOMPARE(clashes, QStringList{});
    }

    void tabReachesEveryControl()
    {
        ListView* activity = ShowActivityRows();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        activity->setFocus();
        activity->setCurrentIndex(activity->model()->index(0, 0));
        QList<QWidget*> reached;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget();
        }
        QStringList missed;
        for (QWidget* control : m_window->findChildren<QWidget*>())
            if (control->isVisible() && control->isEnabled() && (control->focusPolicy() & Qt::TabFocus) &&
                !control->focusProxy() && !reached.contains(control))
                missed << control->metaObject()->className() + (' ' + control->objectName());
        QCOMPARE(missed.join(", "), QString());
    }

    void missingFileIsAnOpenError()
    {
        m_prompter.Told.clear();
        m_window->StartReplay(m_folder.filePath("missing.txt"), CaptureKind::ZembrantDump);
        QCOMPARE(m_prompter.Told, QStringList{"Open Error: File could not be opened!"});
        QVERIFY(!m_window->DecodeActive());
    }

    void stopAsksWhenConfirmationsAreOn()
    {
        m_window->Config().Confirmations = true;
        m_window->StartDecodeSession();
        QVERIFY(m_window->DecodeActive());
        m_prompter.Told.clear();
        m_prompter.Answers = {false};
        QVERIFY(!m_window->StopDecodeSession());
        QVERIFY(m_window->DecodeActive());
        m_prompter.Answers = {true};
        QVERIFY(m_window->StopDecodeSession());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->DecodeActive(), 10000);
        QTRY_COMPARE(m_window->findChild<QPushButton*>("startStop")->text(), QStringLiteral("Read Data From Radio"));
        const QString question = "Stop Decode: Are you sure you want to stop the data decode session?";
        QCOMPARE(m_prompter.Told.mid(0, 2), (QStringList{question, question}));
    }

    // "-DECODE" against a scanner on a pseudo-terminal, then a close while it decodes.
    void decodeFlagReadsTheScannerAndTheCloseSaves()
    {
        QProcess sim;
        sim.start(QStringLiteral(ZEMBRANT_SIM), {"live", "--scanner", "psr500", "--duration", "120"});
        QVERIFY(sim.waitForReadyRead(10000));
        const QByteArray port = sim.readLine().trimmed();
        QTemporaryDir folder;
        // One section each: a repeated section is not merged.
        CommandLine commandLine =
            TestCommandLine(folder.path(), QByteArray(AllTabsShown).replace("[Grants]\n", "[Grants]\nAutoSave=Yes\n") +
                                               "[Communications]\nPort=" + port + "\nScannerType=1\n" +
                                               "[AutoSave]\nDataSaveOnExit=Yes\nLogSaveOnExit=Yes\n");
        commandLine.DecodeClicks = 1;
        MainWindow window(commandLine, m_prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(window.DecodeActive(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(window.List("activity")->model()->rowCount() > 0 &&
                                     window.List("grantTrace")->model()->rowCount() > 0 &&
                                     !window.findChild<QLabel*>("SysID:")->text().isEmpty(),
                                 60000);
        QTRY_VERIFY(window.findChild<QLabel*>("Receive Rate (%):")->text() != QStringLiteral("  0% (0 out of 0)"));
        QVERIFY(window.findChild<RateChart*>("rateChart")->Count() > 0);
        window.close();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
        QVERIFY(!window.DecodeActive());
        sim.terminate();
        sim.waitForFinished(5000);
        const QStringList saved = QDir(folder.path()).entryList({"System*"}, QDir::Dirs);
        QCOMPARE(saved.size(), 1);
        const QDir system(folder.filePath(saved[0]));
        QVERIFY(system.exists("TalkGroups.txt"));
        QVERIFY(!system.entryList({"GrantLog-*.csv"}, QDir::Files).isEmpty());
    }

    void columnWidthsAndBoundsComeBackWithSavedScreenSizes()
    {
        QTemporaryDir folder;
        // Every activity column shut: the list gets its default widths back.
        QByteArray shut = "[ActivityScreen]\n";
        for (int column = 0; column < 11; ++column)
            shut += "Column" + QByteArray::number(column) + "=0\n";
        const CommandLine commandLine =
            TestCommandLine(folder.path(), QByteArray(AllTabsShown) + "[Global]\nSaveScreenSizes=Yes\n" + shut);
        QFile ini(folder.filePath("Zembrant.ini"));
        {
            MainWindow window(commandLine, m_prompter);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.List("activity")->columnWidth(6) > 100);
            window.List("grantTrace")->setColumnWidth(5, 333);
            window.List("activity")->setColumnWidth(0, 0);
            window.resize(760, 560);
            window.close();
            QTRY_VERIFY(!window.isVisible());
        }
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray saved = ini.readAll().replace("\r", "");
        ini.close();
        QVERIFY(saved.contains("[GrantScreen]\nColumn0="));
        QVERIFY(saved.contains("Column5=333\n"));
        QVERIFY(saved.contains("Width=760\n"));
        MainWindow window(commandLine, m_prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.List("grantTrace")->columnWidth(5), 333);
        QCOMPARE(window.List("activity")->columnWidth(0), 0);
        QCOMPARE(window.width(), 760);
    }

    // A second window on a held data folder: another folder is taken in turn, or none.
    void heldDataFolderOffersAnotherOne()
    {
        QTemporaryDir held;
        QTemporaryDir other;
        DataFolderLock owner;
        std::string error;
        QVERIFY(owner.Take(held.path().toStdString(), error) == DataFolderLock::Outcome::Taken);
        const QString asked = "Data Folder In Use: Zembrant is already using the data folder " + held.path() +
                              "/ (process " + QString::number(QCoreApplication::applicationPid()) +
                              ").\n\nDo you want to choose another data folder?";
        const QString chooser = QStringLiteral("Choose a Data Folder");
        const struct
        {
            std::deque<bool> answers;
            std::deque<QString> folders;
            bool taken;
            QStringList told;
        } cases[] = {
            {{false}, {}, false, {asked}},
            {{true}, {}, false, {asked, chooser}},
            {{true, true}, {held.path(), other.path()}, true, {asked, chooser, asked, chooser}},
        };
        for (const auto& c : cases) {
            ScriptedPrompter prompter;
            prompter.Answers = c.answers;
            prompter.Folders = c.folders;
            CommandLine line = TestCommandLine(held.path(), "");
            DataFolderLock lock;
            QCOMPARE(HoldDataFolder(line, lock, prompter), c.taken);
            QCOMPARE(prompter.Told, c.told);
            QCOMPARE(lock.IsHeld(), c.taken);
            if (c.taken) {
                QCOMPARE(line.DataFolder, other.path().toStdString() + "/");
                QCOMPARE(line.ConfigFile, line.DataFolder + "Zembrant.ini");
                QVERIFY(DataFolderLock::IsHeldFor(line.DataFolder));
            }
        }
    }

private:
    QAction* DecodeMenuItem(const char* text)
    {
        for (QAction* menu : m_window->menuBar()->actions())
            if (menu->text() == QStringLiteral("&Decode"))
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == QString::fromUtf8(text))
                        return item;
        return nullptr;
    }

    // Three rows of the activity list: a group call, a private call, an idle channel.
    ListView* ShowActivityRows()
    {
        m_window->findChild<QTabWidget*>()->setCurrentIndex(0);
        RefreshCycle& refresh = m_window->Refresh();
        refresh.Activity = {
            {"01-0001", {"851.00000", "v", "Group", "50", "1234 (Fire)", "Fire", "5001", "Engine", "*", "3"}},
            {"01-0002", {"851.01250", "p", "Private", "0", "7008", "", "7007", "", "*", "1"}},
            {"01-0003", {"851.02500", "v", "", "", "", "", "", "", "", "0"}},
        };
        refresh.onSection(RefreshCycle::Section::Activity);
        ListView* view = m_window->List("activity");
        view->Proxy()->sort(0, Qt::AscendingOrder);
        return view;
    }

    QTemporaryDir m_folder;
    ScriptedPrompter m_prompter;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
