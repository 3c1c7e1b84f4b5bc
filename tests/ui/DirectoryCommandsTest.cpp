// The import and the update check of the window against servers on 127.0.0.1.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "TestWindow.h"
#include "ui/ImportOptionsDialog.h"
#include "ui/MainWindow.h"

namespace {

QByteArray Envelope(const QByteArray& operation, const QByteArray& items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
           "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ns1=\"http://api.radioreference.com/soap2\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\"><SOAP-ENV:Body><ns1:" +
           operation + "Response><return xsi:type=\"SOAP-ENC:Array\">" + items + "</return></ns1:" + operation +
           "Response></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

QByteArray Item(std::initializer_list<std::pair<const char*, QByteArray>> fields)
{
    QByteArray item = "<item>";
    for (const auto& [name, value] : fields) {
        const bool number = !value.isEmpty() && value.toLongLong() != 0;
        item += QByteArray("<") + name + " xsi:type=\"xsd:" + (number ? "int" : "string") + "\">" + value + "</" +
                name + ">";
    }
    return item + "</item>";
}

void Write(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

class DirectoryCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_answers.isValid());
        m_server.start(QStringLiteral(DIRECTORY_TEST_SERVER), {m_answers.path()});
        QVERIFY(m_server.waitForReadyRead(10000));
        m_port = m_server.readLine().trimmed();
        QVERIFY(!m_port.isEmpty());
    }

    void cleanupTestCase()
    {
        m_server.kill();
        m_server.waitForFinished();
    }

    // Names of a live system come from the service while the scanner keeps decoding, and
    // the close saves them in the system's folder.
    void importNamesALiveSystem()
    {
        QProcess sim;
        sim.start(QStringLiteral(ZEMBRANT_SIM), {"live", "--scanner", "psr500", "--duration", "120"});
        QVERIFY(sim.waitForReadyRead(10000));
        const QByteArray port = sim.readLine().trimmed();
        QTemporaryDir folder;
        const QByteArray ini =
            QByteArray() + "[Communications]\nPort=" + port + "\nScannerType=1\n[AutoSave]\nDataSaveOnExit=Yes\n" +
            "[RRWebService]\nEnabled=Yes\nUserName=scanner\nPassword=str\nEndpoint=http://127.0.0.1:" + m_port +
            "/soap2/index.php\n[Proxy]\nType=2\n";
        std::unique_ptr<MainWindow> window = Open(folder, ini, 1);
        auto* sysId = window->findChild<QLabel*>("SysID:");
        QTRY_VERIFY_WITH_TIMEOUT(window->DecodeActive() && !sysId->text().isEmpty() && sysId->text() != "000", 60000);
        const int rfss = window->Model().GetRfssId();
        const int site = window->Model().GetSiteId();

        Write(m_answers.filePath("getTrsBySysid.xml"),
              Envelope("getTrsBySysid", Item({{"sid", "3"}, {"sName", "Metro Area"}, {"sCity", "Springfield"}}) +
                                            Item({{"sid", "7"}, {"sName", "County"}, {"sCity", "Shelbyville"}})));
        Write(m_answers.filePath("getTrsSites.xml"),
              Envelope("getTrsSites", Item({{"siteNumber", QByteArray::number(site)},
                                            {"siteDescr", "North Ridge"},
                                            {"rfss", QByteArray::number(rfss)}})));
        Write(m_answers.filePath("getTrsTalkgroups.xml"),
              Envelope("getTrsTalkgroups", Item({{"tgDec", "64001"}, {"tgDescr", "Fire Dispatch"}, {"tgAlpha", "Fire"}})));
        std::vector<TrsListDef> offered;
        window->chooseSystem = [&](const std::vector<TrsListDef>& systems) {
            offered = systems;
            return 1;
        };
        window->askImportOptions = [] { return IMPORTOPTIONS{SiteImport::Replace, TalkgroupImport::All}; };
        window->ImportSystemInformation();
        QVERIFY(window->DirectoryBusy());
        window->ImportSystemInformation(); // a second start is refused while one runs
        QTRY_VERIFY_WITH_TIMEOUT(!window->DirectoryBusy(), 20000);
        QCOMPARE(offered.size(), size_t{2});
        QCOMPARE(QString::fromStdString(offered[1].sName), QStringLiteral("County"));
        QVERIFY2(m_prompter.Told.isEmpty(), qPrintable(m_prompter.Told.join('\n')));
        QCOMPARE(window->Model().GetTalkgroupDescription(64001), std::string("Fire"));
        QCOMPARE(window->Model().GetTowerDescription(rfss, site), std::string("North Ridge"));
        QTRY_COMPARE(window->findChild<QLabel*>("Description:")->text(), QStringLiteral("County"));
        QTRY_COMPARE(window->findChild<QLabel*>("Site Description:")->text(), QStringLiteral("North Ridge"));

        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
        sim.terminate();
        sim.waitForFinished(5000);
        const QStringList saved = QDir(folder.path()).entryList({"System*"}, QDir::Dirs);
        QCOMPARE(saved.size(), 1);
        QFile system(folder.filePath(saved[0] + "/System.ini"));
        QVERIFY(system.open(QIODevice::ReadOnly));
        QVERIFY(system.readAll().contains("Description=County"));
        QFile talkgroups(folder.filePath(saved[0] + "/TalkGroups.txt"));
        QVERIFY(talkgroups.open(QIODevice::ReadOnly));
        QVERIFY(talkgroups.readAll().contains("64001,50,\"Fire\""));
    }

    // A server that takes the call and never answers does not hold the window open.
    void closingGivesUpAnImportThatWaits()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QTemporaryDir folder;
        const QByteArray ini =
            QByteArray() + "[RRWebService]\nEnabled=Yes\nUserName=scanner\nPassword=str\nEndpoint=http://127.0.0.1:" +
            QByteArray::number(silent.serverPort()) + "/\n[Proxy]\nType=2\n";
        std::unique_ptr<MainWindow> window = Open(folder, ini);
        window->StartReplay(QStringLiteral(ZEMBRANT_SAMPLES "/BusySite.txt"), CaptureKind::ZembrantDump);
        // The import needs a decode in progress: ask while the replay is still running.
        QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QLabel*>("SysID:")->text().size() == 3 &&
                                     window->findChild<QLabel*>("SysID:")->text() != "000",
                                 20000);
        if (!window->DecodeActive())
            QSKIP("the replay ended before its system was shown");
        window->askImportOptions = [] { return IMPORTOPTIONS{}; };
        window->ImportSystemInformation();
        QTRY_VERIFY(silent.hasPendingConnections() || window->DirectoryBusy());
        QElapsedTimer clock;
        clock.start();
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 5000);
        QVERIFY(clock.elapsed() < 3000);
        m_prompter.Told.clear();
    }

    void updateCheckTellsWhatTheListSays_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("pageOpened");
        const QByteArray name = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUpper().toUtf8();
        QTest::newRow("newer") << name + " 99.0.0.0 x\n" << QByteArray() << "Update Check: There is a newer version "
                               "of this software available!\nWould you like to visit the web site to download the update?"
                               << true;
        QTest::newRow("current") << name + " 0.0.0.1 x\nother 99.0.0.0 x\n" << QByteArray()
                                 << "Update Check: You already have the latest version!" << false;
        QTest::newRow("server error") << QByteArray("Gone away") << QByteArray("503") << "Web Error: Gone away"
                                      << false;
    }

    void updateCheckTellsWhatTheListSays()
    {
        QFETCH(QByteArray, list);
        QFETCH(QByteArray, status);
        QFETCH(QString, told);
        QFETCH(bool, pageOpened);
        // The stand-in answers a call without a SOAPAction from ".xml".
        Write(m_answers.filePath(".xml"), list);
        QFile::remove(m_answers.filePath(".status"));
        if (!status.isEmpty())
            Write(m_answers.filePath(".status"), status);
        QTemporaryDir folder;
        const QByteArray ini =
            QByteArray() + "[Update]\nVersionListUrl=http://127.0.0.1:" + m_port +
            "/CurrentVersions.txt\nDownloadPage=https://example.org/get\n"
            "[Proxy]\nType=2\n";
        std::unique_ptr<MainWindow> window = Open(folder, ini);
        std::string opened;
        window->openPage = [&](const std::string& page) { opened = page; };
        m_prompter.Told.clear();
        m_prompter.Answers = {true};
        window->CheckForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(!window->DirectoryBusy(), 10000);
        QCOMPARE(m_prompter.Told, QStringList{told});
        QCOMPARE(opened, std::string(pageOpened ? "https://example.org/get" : ""));
    }

    void updateCheckWithoutAServer()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QByteArray port = QByteArray::number(closed.serverPort());
        closed.close();
        QTemporaryDir folder;
        const QByteArray ini = "[Update]\nVersionListUrl=http://127.0.0.1:" + port + "/v.txt\n";
        std::unique_ptr<MainWindow> window = Open(folder, ini);
        m_prompter.Told.clear();
        window->CheckForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(!window->DirectoryBusy(), 10000);
        QCOMPARE(m_prompter.Told.size(), 1);
        QVERIFY2(m_prompter.Told[0].startsWith("Update Check Error: There was an error getting the current version "
                                               "information from the web site.\nThe error message received was:\n\n"),
                 qPrintable(m_prompter.Told[0]));
    }

    void importOptionsNeedSomethingToImport()
    {
        ImportOptionsDialog dialog(nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QDir().mkpath(ZEMBRANT_SCREENSHOTS);
        dialog.grab().save(ZEMBRANT_SCREENSHOTS "/ImportOptions.png");
        auto* import = dialog.findChild<QPushButton*>("importFromWeb");
        const auto click = [&](const char* name) { QTest::mouseClick(dialog.findChild<QRadioButton*>(name), Qt::LeftButton); };
        click("Site Name Information 3");
        QVERIFY(import->isEnabled());
        click("Talkgroup Import Options 4");
        QVERIFY(!import->isEnabled());
        click("Talkgroup Import Options 2");
        QVERIFY(import->isEnabled());
        QCOMPARE(dialog.Options().Sites, SiteImport::None);
        QCOMPARE(dialog.Options().Talkgroups, TalkgroupImport::Default);
    }

private:
    std::unique_ptr<MainWindow> Open(const QTemporaryDir& folder, const QByteArray& ini, int decodeClicks = 0)
    {
        CommandLine commandLine = TestCommandLine(folder.path(), ini);
        commandLine.DecodeClicks = decodeClicks;
        auto window = std::make_unique<MainWindow>(commandLine, m_prompter);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    QTemporaryDir m_answers;
    QProcess m_server;
    QByteArray m_port;
    ScriptedPrompter m_prompter;
};

QTEST_MAIN(DirectoryCommandsTest)
#include "DirectoryCommandsTest.moc"
