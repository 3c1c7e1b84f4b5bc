// The editors driven as a user drives them, offscreen; results are read from the model and
// from the files the window writes.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

#include "TestWindow.h"
#include "ui/Editors.h"
#include "ui/IdTableEditor.h"
#include "ui/MainWindow.h"

namespace {

constexpr int SysId = 0x1A4;
const QString NotIdentified =
    QStringLiteral("Error: You must first connect to a tower before you can set the system information.");

// Runs act on the next modal dialog once it is shown; act must close it.
void WhenShown(std::function<void(QDialog*)> act)
{
    QTimer::singleShot(10, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            WhenShown(act);
            return;
        }
        act(dialog);
        // A failed check returns early: the dialog must not stay open and hang the test.
        if (dialog->isVisible())
            dialog->reject();
    });
}

void Screenshot(QWidget* dialog, const QString& name)
{
    const QString folder = QStringLiteral(ZEMBRANT_SCREENSHOTS);
    QDir().mkpath(folder);
    dialog->resize(dialog->minimumSizeHint());
    QApplication::processEvents();
    QVERIFY(dialog->grab().save(folder + "/" + name + ".png"));
}

QPushButton* Button(QWidget* dialog, const QString& text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

void Click(QWidget* dialog, const QString& text)
{
    QPushButton* button = Button(dialog, text);
    QVERIFY2(button, qPrintable(text));
    QTest::mouseClick(button, Qt::LeftButton);
}

void LeaveWith(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
    QTest::qWait(20);
}

} // namespace

class EditorsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_window = std::make_unique<MainWindow>(TestCommandLine(m_folder.path(), {}), m_prompter);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_defaults = {m_window->Config().DefaultText, m_window->Config().DefaultBackground};
    }

    void cleanupTestCase() { m_window.reset(); }

    void systemMenuRefusesBeforeASystemIsIdentified()
    {
        for (const char* item : {"Edit &System Information", "Edit &TalkGroup Information",
                                 "Edit &Radio ID Information", "Edit I&dentifier Tables"}) {
            m_prompter.Told.clear();
            SystemAction(item)->trigger();
            QCOMPARE(m_prompter.Told, QStringList{NotIdentified});
        }
        m_window->Model().SetSystemAndSite(SysId, 1, 0x70, 3);
        m_window->Model().SetSystemDescription("County");
    }

    void emptyTalkgroupEditorShowsDefaultsAndRefusesAnInvalidNumber()
    {
        TalkgroupEditor* editor = m_window->EditorDialogs().Talkgroups();
        bool checked = false;
        WhenShown([&](QDialog* dialog) {
            QCOMPARE(dialog, editor);
            QCOMPARE(editor->PriorityField()->value(), 50);
            QCOMPARE(editor->NameField()->text(), QString());
            QCOMPARE(editor->Colours().Colors(), m_defaults);
            QVERIFY(!editor->ApplyButton()->isEnabled());
            QTRY_VERIFY(editor->TalkgroupField()->hasFocus());
            LeaveWith(editor->TalkgroupField(), QStringLiteral("70000"));
            QTRY_VERIFY(editor->TalkgroupField()->hasFocus());
            QVERIFY(!editor->ApplyButton()->isEnabled());
            Screenshot(editor, QStringLiteral("TalkgroupEditor"));
            checked = true;
            Click(dialog, QStringLiteral("Cancel"));
        });
        SystemAction("Edit &TalkGroup Information")->trigger();
        QVERIFY(checked);
    }

    void defaultThenApplyStoresZeroAndZero()
    {
        P25Class& model = m_window->Model();
        model.SetTalkgroup(300, "Fire", 1000, 20, 0);
        model.SetTalkgroupColors(300, 0x0000FF, 0x000000);
        m_window->Colours().answer = [](const QColor&) { return QColor(0, 0, 255); };
        m_window->Extra().CustomColors = {"ColorA=00FF00"};
        TalkgroupEditor* editor = m_window->EditorDialogs().Talkgroups();
        WhenShown([&](QDialog* dialog) {
            QCOMPARE(editor->NameField()->text(), QStringLiteral("Fire"));
            QCOMPARE(editor->PriorityField()->value(), 20);
            QCOMPARE(editor->Colours().Colors(), (ColorPair{0x0000FF, 0x000000}));
            QVERIFY(editor->NameField()->hasFocus());
            Click(dialog, QStringLiteral("Text Color"));
            QCOMPARE(editor->Colours().Colors().Text, 0xFF0000u);
            QVERIFY(editor->ApplyButton()->isEnabled());
            Click(dialog, QStringLiteral("Default"));
            Click(dialog, QStringLiteral("Apply"));
            QVERIFY(!editor->ApplyButton()->isEnabled());
            Click(dialog, QStringLiteral("Ok"));
        });
        QVERIFY(m_window->EditorDialogs().EditTalkgroup(QStringLiteral("300")));
        TGTAG talkgroup;
        QVERIFY(model.GetTalkgroup(300, talkgroup));
        QCOMPARE(talkgroup.TextColor, 0u);
        QCOMPARE(talkgroup.BackColor, 0u);
        QVERIFY(talkgroup.LastSeen > 1000);
        // The OK saved the configuration with the colour dialog's custom colours.
        QFile ini(m_folder.filePath("Zembrant.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("[CustomColors]\r\nColorA=00FF00"));
        m_window->Colours().answer = nullptr;
    }

    void emergencyBoxIsStoredAtOnceAndOkWithoutAChangeStoresNothing()
    {
        P25Class& model = m_window->Model();
        model.SetTalkgroup(500, "Police", 1000, 40, 0);
        TalkgroupEditor* editor = m_window->EditorDialogs().Talkgroups();
        WhenShown([&](QDialog* dialog) {
            QTest::mouseClick(editor->EmrgIgnoreBox(), Qt::LeftButton, {}, QPoint(8, editor->EmrgIgnoreBox()->height() / 2));
            QVERIFY(editor->EmrgIgnoreBox()->isChecked());
            Click(dialog, QStringLiteral("Cancel"));
        });
        QVERIFY(!m_window->EditorDialogs().EditTalkgroup(QStringLiteral("500")));
        QCOMPARE(model.GetTalkgroupEmrgIgnore(500), 1);

        WhenShown([&](QDialog* dialog) {
            QVERIFY(editor->EmrgIgnoreBox()->isChecked());
            QVERIFY(!editor->ApplyButton()->isEnabled());
            Click(dialog, QStringLiteral("Ok"));
        });
        QVERIFY(m_window->EditorDialogs().EditTalkgroup(QStringLiteral("500")));
        TGTAG talkgroup;
        QVERIFY(model.GetTalkgroup(500, talkgroup));
        QCOMPARE(talkgroup.LastSeen, int64_t{1000});
        QCOMPARE(talkgroup.Description, std::string("Police"));
    }

    void radioEditorLoadsOnLeavingTheFieldAndStoresOnOk()
    {
        P25Class& model = m_window->Model();
        model.SetRadio(41394, "Engine 5", 1000);
        RadioEditor* editor = m_window->EditorDialogs().Radios();
        WhenShown([&](QDialog* dialog) {
            QTRY_VERIFY(editor->RadioField()->hasFocus());
            LeaveWith(editor->RadioField(), QStringLiteral("0"));
            QTRY_VERIFY(editor->RadioField()->hasFocus());
            LeaveWith(editor->RadioField(), QStringLiteral("41394"));
            QCOMPARE(editor->DescriptionField()->text(), QStringLiteral("Engine 5"));
            editor->DescriptionField()->setFocus();
            editor->DescriptionField()->selectAll();
            QTest::keyClicks(editor->DescriptionField(), QStringLiteral("Engine 6"));
            QVERIFY(editor->ApplyButton()->isEnabled());
            Screenshot(editor, QStringLiteral("RadioEditor"));
            Click(dialog, QStringLiteral("Ok"));
        });
        // The lists' right-click menu opens the editor with the field its row prepared.
        m_window->findChild<QMenu*>(QStringLiteral("rowMenu"))->actions()[1]->trigger();
        QCOMPARE(model.GetRadioDescription(41394), std::string("Engine 6"));
    }

    void systemInformationEditorStoresBothNames()
    {
        SystemInfoEditor* editor = m_window->EditorDialogs().SystemInfo();
        WhenShown([&](QDialog* dialog) {
            QCOMPARE(editor->SystemName()->text(), QStringLiteral("County"));
            editor->SystemName()->setText(QStringLiteral("County Wide"));
            editor->TowerName()->setText(QStringLiteral("Hill"));
            Screenshot(editor, QStringLiteral("SystemInformation"));
            Click(dialog, QStringLiteral("Apply"));
        });
        SystemAction("Edit &System Information")->trigger();
        const SYSINFO info = m_window->Model().CopySystemInfo();
        QCOMPARE(info.SystemDescription, std::string("County Wide"));
        QCOMPARE(info.SiteDescription, std::string("Hill"));
    }

    void systemChoiceImportsOnlyASelectedRow()
    {
        const std::vector<TrsListDef> systems = {{1234, "County Trunked Radio", "Springfield"},
                                                 {5678, "State Police Network", "Capital City"}};
        WhenShown([&](QDialog* dialog) {
            auto* choice = static_cast<SystemChoiceDialog*>(dialog);
            QVERIFY(!choice->ImportButton()->isEnabled());
            Screenshot(choice, QStringLiteral("MultipleSystems"));
            QTreeWidget* list = choice->List();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(1)).center());
            QVERIFY(choice->ImportButton()->isEnabled());
            Click(dialog, QStringLiteral("Import"));
        });
        QCOMPARE(ChooseSystem(m_window.get(), systems, m_window->Config()), std::optional<int>(1));
        WhenShown([&](QDialog* dialog) { Click(dialog, QStringLiteral("Cancel")); });
        QCOMPARE(ChooseSystem(m_window.get(), systems, m_window->Config()), std::nullopt);
    }

    void manualIdentifierTableIsStoredAndSavedWithTheSystem()
    {
        P25Class& model = m_window->Model();
        const IDENTABLE received{851.0125, -45.0, 0.0125, 0.0125, SourceConfirmed, 1};
        model.SetIdentifierTable(5, received);
        IdTableEditor* editor = m_window->EditorDialogs().Tables();
        WhenShown([&](QDialog* dialog) {
            QCOMPARE(dialog, editor);
            QCOMPARE(editor->List()->topLevelItemCount(), MaxIdentifierTables);
            QCOMPARE(editor->List()->topLevelItem(5)->text(6), QStringLiteral("Confirmed"));
            editor->EditRow(5); // the site's own table: no form opens
            IdTableForm* form = editor->Form();
            WhenShown([&](QDialog* shown) {
                QCOMPARE(shown, form);
                QVERIFY(!form->OkButton()->isEnabled());
                form->Field(IdTableForm::Base)->setText(QStringLiteral("452.5"));
                form->Field(IdTableForm::Spacing)->setText(QStringLiteral("12.5"));
                QVERIFY(!form->OkButton()->isEnabled());
                form->Field(IdTableForm::Spacing)->setText(QStringLiteral("0.0125"));
                form->Field(IdTableForm::Offset)->setText(QStringLiteral("5"));
                QVERIFY(form->OkButton()->isEnabled());
                Screenshot(form, QStringLiteral("IdentifierTable"));
                Click(shown, QStringLiteral("Ok"));
            });
            editor->EditRow(4);
            QCOMPARE(editor->List()->topLevelItem(4)->text(1), QStringLiteral("452.50000"));
            QCOMPARE(editor->List()->topLevelItem(4)->text(6), QStringLiteral("Manual"));
            Screenshot(editor, QStringLiteral("IdentifierTables"));
            Click(dialog, QStringLiteral("Done"));
        });
        SystemAction("Edit I&dentifier Tables")->trigger();

        const IDENTABLE manual{452.5, 5.0, 0.0125, 0.0, SourceManual, 1};
        IDENTABLE tables[MaxIdentifierTables];
        model.CopyIdentifierTables(tables, MaxIdentifierTables);
        QVERIFY(tables[4] == manual);
        QVERIFY(tables[5] == received);
        // "Done" saved the system folder: a later run starts with the table.
        P25Class later;
        later.SetDataFolder(m_folder.path().toStdString());
        later.SetSystemAndSite(SysId, 2, 0x70, 9);
        later.CopyIdentifierTables(tables, MaxIdentifierTables);
        QVERIFY(tables[4] == manual);
        QCOMPARE(later.ChannelFrequency(0x4008), 452.6);
    }

private:
    QAction* SystemAction(const char* text)
    {
        for (QAction* menu : m_window->menuBar()->actions())
            if (menu->text() == QStringLiteral("&System"))
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == QString::fromUtf8(text))
                        return item;
        qFatal("no System menu item %s", text);
    }

    QTemporaryDir m_folder;
    ScriptedPrompter m_prompter;
    std::unique_ptr<MainWindow> m_window;
    ColorPair m_defaults;
};

QTEST_MAIN(EditorsTest)
#include "EditorsTest.moc"
