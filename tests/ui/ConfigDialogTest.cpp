// The configuration dialog driven as a user drives it, offscreen; each check reads the
// window's settings, the model or the saved file.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "ui/ConfigDialog.h"
#include "ui/ListModels.h"
#include "ui/MainWindow.h"

#include "TestWindow.h"

namespace {

// A pseudo-terminal, as a simulator or a serial bridge offers one: the probe never lists it.
class PseudoTerminal
{
public:
    PseudoTerminal() : m_master(posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            Path = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~PseudoTerminal()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    QString Path;

private:
    int m_master;
};

} // namespace

class ConfigDialogTest : public QObject
{
    Q_OBJECT

private:
    ConfigDialog& Dialog() { return ConfigDialog::Of(*m_window); }
    template <class T>
    T* Control(const char* name)
    {
        return Dialog().findChild<T*>(QString::fromUtf8(name));
    }
    void Ok() { QTest::mouseClick(Control<QPushButton>("ok"), Qt::LeftButton); }

    // The value of Section/Key in the saved file, "" when absent.
    QString Saved(const QString& section, const QString& key)
    {
        QFile file(m_folder.filePath("Zembrant.ini"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        bool inSection = false;
        for (const QString& raw : QString::fromUtf8(file.readAll()).split('\n')) {
            const QString line = raw.trimmed();
            if (line.startsWith('['))
                inSection = line == '[' + section + ']';
            else if (inSection && line.startsWith(key + '='))
                return line.mid(key.size() + 1);
        }
        return {};
    }

    static void Choose(QComboBox* list, const QString& data)
    {
        const int index = list->findData(data);
        QVERIFY2(index >= 0, qPrintable(data));
        list->setCurrentIndex(index);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_window = std::make_unique<MainWindow>(TestCommandLine(m_folder.path(), "[Grants]\nVisible=Yes\n"), m_prompter);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase() { m_window.reset(); }

    void editMenuOpensTheDialogOnItsPage()
    {
        QMenu* edit = nullptr;
        for (QAction* menu : m_window->menuBar()->actions())
            if (menu->text() == QStringLiteral("&Edit"))
                edit = menu->menu();
        QVERIFY(edit);
        const int pages[] = {ConfigDialog::DecodePage, ConfigDialog::ScannerControlPage, ConfigDialog::ScreenPage,
                             ConfigDialog::DataOptionsPage, ConfigDialog::WebServicePage};
        QCOMPARE(edit->actions().size(), 5);
        for (int i = 0; i < 5; ++i) {
            int shown = -1;
            QTimer::singleShot(0, this, [this, &shown] {
                shown = Dialog().findChild<QTabWidget*>()->currentIndex();
                Dialog().reject();
            });
            edit->actions().at(i)->trigger();
            QCOMPARE(shown, pages[i]);
        }
    }

    void enterInAFieldIsOk()
    {
        bool closed = false;
        QTimer::singleShot(0, this, [this, &closed] {
            QTest::keyClick(Control<QLineEdit>("mqttUserName"), Qt::Key_Return);
            closed = !Dialog().isVisible();
            Dialog().reject();
        });
        Dialog().Open(ConfigDialog::EventsPage);
        QVERIFY(closed);
    }

    void showAllPortsListsComOneToHighPort()
    {
        m_window->Config().ShowAllPorts = true;
        m_window->Config().HighPort = 4;
        Dialog().Prepare(ConfigDialog::DecodePage);
        QComboBox* decode = Control<QComboBox>("decodePort");
        QStringList names;
        for (int i = 0; i < decode->count(); ++i)
            names << decode->itemData(i).toString();
        QCOMPARE(names, QStringList({"COM1", "COM2", "COM3", "COM4"}));
        QVERIFY(Control<QPushButton>("decodeRescan")->isHidden());
        QVERIFY(!Control<QPushButton>("controlRescan")->isHidden());
        QVERIFY(!Control<QPushButton>("controlRescan")->isEnabled());
        Dialog().reject();
    }

    void sameDecodeAndControlPortLeavesControlOff()
    {
        Dialog().Prepare(ConfigDialog::ScannerControlPage);
        Choose(Control<QComboBox>("decodePort"), "COM3");
        Choose(Control<QComboBox>("controlPort"), "COM3");
        Control<QCheckBox>("controlEnabled")->setChecked(true);
        Ok();
        QVERIFY(!m_window->Config().ScanControlEnabled);
        QCOMPARE(Saved("ScanControl", "Enabled"), QStringLiteral("No"));
        QCOMPARE(Saved("ScanControl", "Port"), QStringLiteral("COM3"));
        QCOMPARE(Saved("Communications", "Port"), QStringLiteral("COM3"));

        // Another port keeps it on.
        Dialog().Prepare(ConfigDialog::ScannerControlPage);
        Choose(Control<QComboBox>("controlPort"), "COM4");
        Control<QCheckBox>("controlEnabled")->setChecked(true);
        Ok();
        QCOMPARE(Saved("ScanControl", "Enabled"), QStringLiteral("Yes"));
    }

    void oneSerialPortLeavesNothingToControl()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("sys/class/tty/ttyUSB0/device")));
        QVERIFY(QDir().mkpath(root.filePath("dev")));
        QFile(root.filePath("dev/ttyUSB0")).open(QIODevice::WriteOnly);
        Dialog().EnumerationRoot = root.path().toStdString();
        m_window->Config().ShowAllPorts = false;
        m_window->Config().CommPort = "COM1";
        // A stored control port would stay in the list.
        m_window->Config().ControlPort.clear();
        Dialog().Prepare(ConfigDialog::ScannerControlPage);
        QComboBox* decode = Control<QComboBox>("decodePort");
        QCOMPARE(decode->count(), 1);
        QCOMPARE(decode->currentData().toString(), root.filePath("dev/ttyUSB0"));
        QCOMPARE(Control<QComboBox>("controlPort")->count(), 0);
        QCheckBox* enabled = Control<QCheckBox>("controlEnabled");
        QVERIFY(!enabled->isChecked());
        QVERIFY(!enabled->isEnabled());
        QTest::mouseClick(enabled, Qt::LeftButton);
        Ok();
        QVERIFY(!m_window->Config().ScanControlEnabled);
        QCOMPARE(Saved("ScanControl", "Enabled"), QStringLiteral("No"));
        // Untouched, the decode port keeps its stored name for the same device.
        QCOMPARE(Saved("Communications", "Port"), QStringLiteral("COM1"));
        Dialog().EnumerationRoot = "/";
        m_window->Config().ShowAllPorts = true;
    }

    void okKeepsPortsThatWereNeverProbed()
    {
        PseudoTerminal pty;
        QVERIFY(pty.Path.startsWith("/dev/pts/"));
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("sys/class/tty/ttyUSB0/device")));
        QVERIFY(QDir().mkpath(root.filePath("dev")));
        QFile(root.filePath("dev/ttyUSB0")).open(QIODevice::WriteOnly);
        Dialog().EnumerationRoot = root.path().toStdString();
        m_window->Config().ShowAllPorts = false;
        m_window->Config().CommPort = pty.Path.toStdString();
        m_window->Config().ControlPort = "/dev/ttyUSB7";
        for (ConfigDialog::Page page : {ConfigDialog::DecodePage, ConfigDialog::ScannerControlPage,
                                        ConfigDialog::DataOptionsPage, ConfigDialog::WebServicePage}) {
            Dialog().Prepare(page);
            QCOMPARE(Control<QComboBox>("decodePort")->currentText(), pty.Path);
            QCOMPARE(Control<QComboBox>("controlPort")->currentText(), QStringLiteral("/dev/ttyUSB7"));
            Ok();
            QCOMPARE(Saved("Communications", "Port"), pty.Path);
            QCOMPARE(Saved("ScanControl", "Port"), QStringLiteral("/dev/ttyUSB7"));
        }
        // A path typed into the list.
        Dialog().Prepare(ConfigDialog::DecodePage);
        Control<QComboBox>("decodePort")->setEditText(QStringLiteral("/dev/ttyACM3"));
        Ok();
        QCOMPARE(Saved("Communications", "Port"), QStringLiteral("/dev/ttyACM3"));
        Dialog().EnumerationRoot = "/";
        m_window->Config().ShowAllPorts = true;
    }

    // Values the controls cannot show: "Ok" on another page keeps every one of them.
    void okChangesNothingUntouched()
    {
        const CONFIG saved = m_window->Config();
        CONFIG& c = m_window->Config();
        c.UnidenSpeed = 1234;
        c.ControlPortSpeed = 4800;
        c.GrantLogMax = 33;
        c.Latency = 150;
        c.PrivatePriority = 120;
        c.ScannerType = 9;
        c.QuietFrequency = 851.012345;
        c.ProxyType = 7;
        c.ProxyPort = 70000;
        c.OddText = 0x123456;
        const CONFIG before = c;
        const EXTRASETTINGS extra = m_window->Extra();
        Dialog().Prepare(ConfigDialog::DataOptionsPage);
        Ok();
        QVERIFY(m_window->Config() == before);
        QVERIFY(m_window->Extra() == extra);
        QCOMPARE(Saved("Communications", "UnidenSpeed"), QStringLiteral("1234"));
        m_window->Config() = saved;
    }

    void decodePortControlsAreLockedWhileDecoding()
    {
        PseudoTerminal pty;
        m_window->Config().CommPort = pty.Path.toStdString();
        m_window->Config().ShowAllPorts = false;
        m_window->StartDecodeSession();
        QVERIFY(m_window->DecodeActive());
        const char* locked[] = {"decodePort", "decodeRescan", "scannerType", "unidenSpeed", "controlPort", "controlRescan"};
        Dialog().Prepare(ConfigDialog::DecodePage);
        for (const char* name : locked)
            QVERIFY2(!Control<QWidget>(name)->isEnabled(), name);
        Dialog().reject();
        QVERIFY(m_window->StopDecodeSession());
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->DecodeActive(), 10000);
        Dialog().Prepare(ConfigDialog::DecodePage);
        for (const char* name : {"decodePort", "decodeRescan", "scannerType"})
            QVERIFY2(Control<QWidget>(name)->isEnabled(), name);
        Dialog().reject();
        m_window->Config().ShowAllPorts = true;
    }

    void backupDaysAreLimitedOnOk()
    {
        const std::pair<const char*, const char*> cases[] = {{"0", "1"}, {"500", "365"}, {"abc", "365"}, {"12", "12"}};
        for (const auto& [typed, saved] : cases) {
            Dialog().Prepare(ConfigDialog::BackupPage);
            Control<QLineEdit>("backupDays")->setText(QString::fromUtf8(typed));
            Ok();
            QCOMPARE(Saved("Backup", "Days"), QString::fromUtf8(saved));
        }
    }

    void backupFolderComesFromTheChooser()
    {
        QString offered;
        Dialog().chooseFolder = [&offered](const QString& start) {
            offered = start;
            return QStringLiteral("/tmp/backups");
        };
        Dialog().Prepare(ConfigDialog::BackupPage);
        Control<QLineEdit>("backupPath")->setText(QStringLiteral("/tmp/old"));
        QTest::mouseClick(Control<QPushButton>("chooseBackupPath"), Qt::LeftButton);
        QCOMPARE(offered, QStringLiteral("/tmp/old"));
        Ok();
        QCOMPARE(Saved("Backup", "BackupPath"), QStringLiteral("/tmp/backups"));
    }

    void profileListHoldsTheUsersProfilesAndTheStoredOne()
    {
        QFile(m_folder.filePath("Mine.scanner")).open(QIODevice::WriteOnly);
        QVERIFY(QDir().mkpath(m_folder.filePath("Folder.scanner")));
        Dialog().Prepare(ConfigDialog::ScannerControlPage);
        QComboBox* profiles = Control<QComboBox>("profile");
        QCOMPARE(profiles->currentText(), QStringLiteral("BC250D.Scanner"));
        QVERIFY(profiles->findText(QStringLiteral("Mine.scanner")) >= 0);
        QCOMPARE(profiles->findText(QStringLiteral("Folder.scanner")), -1);
        Choose(profiles, "Mine.scanner");
        Control<QLineEdit>("quietFrequency")->setText(QStringLiteral("851.0125"));
        Ok();
        QCOMPARE(Saved("ScanControl", "Profile"), QStringLiteral("Mine.scanner"));
        QCOMPARE(m_window->Config().QuietFrequency, 851.0125);
    }

    void hiddenGrantLogStopsGrantRecords()
    {
        auto* tabs = m_window->findChild<QTabWidget*>();
        const int grantTab = static_cast<int>(WindowTab::GrantTrace);
        QVERIFY(tabs->isTabVisible(grantTab));
        QVERIFY(m_window->Model().LogGrant("Group", 0x1001, "", 100, 200));
        Dialog().Prepare(ConfigDialog::ScreenPage);
        QCheckBox* visible = Control<QCheckBox>("grantsVisible");
        QVERIFY(visible->isChecked());
        visible->setChecked(false);
        Ok();
        QVERIFY(!tabs->isTabVisible(grantTab));
        QVERIFY(!m_window->Model().LogGrant("Group", 0x1001, "", 100, 200));
        QCOMPARE(Saved("Grants", "Visible"), QStringLiteral("No"));
    }

    void okAppliesFontsAndColours()
    {
        m_window->Colours().answer = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
        Dialog().Prepare(ConfigDialog::ScreenPage);
        Control<QCheckBox>("useGlobalFont")->setChecked(false);
        QTest::mouseClick(Dialog().findChild<QPushButton*>("Talkgroup background"), Qt::LeftButton);
        // The activity sub-page's size box.
        auto* screens = Control<QTabWidget>("screenPages");
        QSpinBox* size = screens->widget(1)->findChild<QSpinBox*>();
        QVERIFY(size->isEnabled());
        size->setValue(11);
        Ok();
        m_window->Colours().answer = nullptr;
        QCOMPARE(m_window->List("activity")->font().pointSize(), 11);
        QCOMPARE(m_window->List("activity")->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
        QCOMPARE(Saved("Activity", "Size"), QStringLiteral("11"));
        QCOMPARE(Saved("Activity", "DefaultBackground"), QStringLiteral("#123456"));
        QCOMPARE(Saved("Global", "UseGlobalFont"), QStringLiteral("No"));
    }

    void cancelChangesNothing()
    {
        const CONFIG config = m_window->Config();
        const EXTRASETTINGS extra = m_window->Extra();
        QFile file(m_folder.filePath("Zembrant.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        file.close();
        m_window->Colours().answer = [](const QColor&) { return std::optional<QColor>(QColor(Qt::red)); };
        Dialog().Prepare(ConfigDialog::ScreenPage);
        Control<QCheckBox>("grantsVisible")->setChecked(true);
        Control<QCheckBox>("useGlobalFont")->setChecked(true);
        QTest::mouseClick(Dialog().findChild<QPushButton*>("Even Lines background"), Qt::LeftButton);
        Control<QLineEdit>("backupDays")->setText(QStringLiteral("3"));
        Control<QComboBox>("decodePort")->setCurrentIndex(0);
        Control<QComboBox>("scannerType")->setCurrentIndex(4);
        Control<QCheckBox>("webEnabled")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("cancel"), Qt::LeftButton);
        m_window->Colours().answer = nullptr;
        QVERIFY(m_window->Config() == config);
        QVERIFY(m_window->Extra() == extra);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), saved);
        QVERIFY(!m_window->findChild<QTabWidget*>()->isTabVisible(static_cast<int>(WindowTab::GrantTrace)));
    }

    void enablingFollowsTheControls()
    {
        Dialog().Prepare(ConfigDialog::DecodePage);
        QComboBox* type = Control<QComboBox>("scannerType");
        for (int index = 0; index < type->count(); ++index) {
            type->setCurrentIndex(index);
            QCOMPARE(Control<QComboBox>("unidenSpeed")->isEnabled(), index == UnidenScannerType);
        }
        Control<QCheckBox>("useGlobalFont")->setChecked(true);
        QVERIFY(!Control<QTabWidget>("screenPages")->widget(1)->findChild<QSpinBox*>()->isEnabled());
        QVERIFY(Control<QTabWidget>("screenPages")->widget(0)->findChild<QSpinBox*>()->isEnabled());
        Dialog().reject();
    }

    void eventsPageLoadsAppliesAndRefuses()
    {
        CONFIG& c = m_window->Config();
        c.MqttEnabled = true;
        c.MqttHost = "localhost";
        c.MqttPort = 1883;
        c.MqttTls = false;
        c.MqttUserName = "ops";
        c.MqttPassword = "old";
        c.MqttTopicPrefix = "p25";
        c.MqttClientId.clear();
        Dialog().Prepare(ConfigDialog::EventsPage);
        QCOMPARE(Dialog().findChild<QTabWidget*>()->currentIndex(), static_cast<int>(ConfigDialog::EventsPage));
        QCOMPARE(Control<QLineEdit>("mqttHost")->text(), QStringLiteral("localhost"));
        QCOMPARE(Control<QSpinBox>("mqttPort")->value(), 1883);
        QCOMPARE(Control<QLineEdit>("mqttUserName")->text(), QStringLiteral("ops"));
        QCOMPARE(Control<QLineEdit>("mqttPassword")->echoMode(), QLineEdit::Password);
        QCOMPARE(Control<QLineEdit>("mqttPassword")->text(), QStringLiteral("old"));
        QVERIFY(Control<QLineEdit>("mqttClientId")->placeholderText().startsWith("zembrant"));
        QCOMPARE(Control<QLabel>("mqttHint")->text(),
                 QStringLiteral("Events are published under p25/<sysid>/<rfss>-<site>/<type>; "
                                "watch them with mosquitto_sub -t 'p25/#' -v"));
        QVERIFY(Control<QLineEdit>("mqttHost")->isEnabled());
        QVERIFY(!Control<QLineEdit>("mqttCaFile")->isEnabled());
        Control<QCheckBox>("mqttEnabled")->setChecked(false);
        QVERIFY(!Control<QLineEdit>("mqttHost")->isEnabled());
        Control<QCheckBox>("mqttEnabled")->setChecked(true);

        const QString caFile = m_folder.filePath("ca.pem");
        QFile(caFile).open(QIODevice::WriteOnly);
        Dialog().chooseFile = [caFile](const QString&) { return caFile; };
        Control<QSpinBox>("mqttPort")->setValue(8883);
        Control<QCheckBox>("mqttTls")->setChecked(true);
        QTest::mouseClick(Control<QPushButton>("chooseMqttCaFile"), Qt::LeftButton);
        Control<QLineEdit>("mqttPassword")->setText(QStringLiteral("n3w"));
        Control<QLineEdit>("mqttTopicPrefix")->setText(QStringLiteral("site/p25"));
        Ok();
        QCOMPARE(c.MqttPort, 8883);
        QVERIFY(c.MqttTls);
        QCOMPARE(QString::fromStdString(c.MqttCaFile), caFile);
        QCOMPARE(c.MqttPassword, std::string("n3w"));
        QCOMPARE(Saved("Events", "Port"), QStringLiteral("8883"));
        QCOMPARE(Saved("Events", "Tls"), QStringLiteral("Yes"));
        QCOMPARE(Saved("Events", "TopicPrefix"), QStringLiteral("site/p25"));
        QVERIFY(!Saved("Events", "Password").isEmpty());
        QVERIFY(Saved("Events", "Password") != QStringLiteral("n3w"));

        // A wildcard in the prefix: the page stays open on its field and nothing is stored.
        m_prompter.Told.clear();
        Dialog().Prepare(ConfigDialog::DecodePage);
        Control<QLineEdit>("mqttTopicPrefix")->setText(QStringLiteral("p25/#"));
        Dialog().show();
        Ok();
        QCOMPARE(m_prompter.Told, QStringList(
            "Error: Topic prefix: + and # are MQTT wildcards and cannot be part of a topic."));
        QVERIFY(Dialog().isVisible());
        QCOMPARE(Dialog().findChild<QTabWidget*>()->currentIndex(), static_cast<int>(ConfigDialog::EventsPage));
        QCOMPARE(c.MqttTopicPrefix, std::string("site/p25"));
        QCOMPARE(Saved("Events", "TopicPrefix"), QStringLiteral("site/p25"));
        Control<QLineEdit>("mqttTopicPrefix")->setText(QStringLiteral("p25"));
        Control<QCheckBox>("mqttEnabled")->setChecked(false);
        Ok();
        QVERIFY(!Dialog().isVisible());
        QVERIFY(!c.MqttEnabled);
        Dialog().chooseFile = nullptr;
    }

    void screenshotOfEveryPageAtTheMinimumSize()
    {
        const QString folder = QStringLiteral(ZEMBRANT_SCREENSHOTS);
        QVERIFY(QDir().mkpath(folder));
        ConfigDialog& dialog = Dialog();
        dialog.Prepare(ConfigDialog::DecodePage);
        // The note a running session shows, which the page must find room for too.
        Control<QLabel>("decodingNote")->show();
        dialog.show();
        dialog.resize(dialog.minimumSizeHint());
        auto* pages = dialog.findChild<QTabWidget*>();
        auto* screens = Control<QTabWidget>("screenPages");
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            const int subPages = page == ConfigDialog::ScreenPage ? screens->count() : 1;
            for (int sub = 0; sub < subPages; ++sub) {
                screens->setCurrentIndex(sub);
                QTest::qWait(20);
                QString name = pages->tabText(page);
                if (page == ConfigDialog::ScreenPage)
                    name += '-' + screens->tabText(sub);
                name.remove(QRegularExpression("[^A-Za-z-]"));
                QVERIFY(dialog.grab().save(QStringLiteral("%1/Config-%2-%3.png").arg(folder).arg(page).arg(name)));
            }
        }
        dialog.reject();
    }

private:
    QTemporaryDir m_folder;
    ScriptedPrompter m_prompter;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(ConfigDialogTest)
#include "ConfigDialogTest.moc"
