#pragma once
#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

#include "directory/SoapAnswer.h"
#include "persistence/Config.h"
#include "view/EditorRules.h"

class ColourPicker;
class IdTableEditor;
class Prompter;
class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

// Fixes the dialog's minimum size at its laid-out size: a word-wrapped help text would
// otherwise let it shrink until the text and the controls overlap.
void SettleMinimumSize(QDialog* dialog);

// What the editors need from the window. All of them run on the user-interface thread and
// change the model only through its locked operations.
struct EditorHost
{
    P25Class& Model;
    const CONFIG& Config;
    ColourPicker& Colours;
    Prompter& Prompts;
    std::function<void()> SaveSettings; // an editor's OK: the custom colours go with it
    std::function<void()> SaveSystem;   // the identifier tables changed
    std::function<void()> Changed;      // descriptions or colours changed: the lists show them again
};

// The "Color Settings" panel and the description field it colours, shared by both editors.
class ColouredField
{
public:
    ColouredField(QWidget* owner, QLineEdit* field, EditorHost& host, std::function<void()> changed);
    QWidget* Panel() const { return m_panel; }
    const ColorPair& Colors() const { return m_colors; }
    void SetColors(const ColorPair& colors);
    ColorPair Defaults() const;

private:
    void Pick(bool text);

    QWidget* m_owner;
    QLineEdit* m_field;
    EditorHost& m_host;
    std::function<void()> m_changed;
    QWidget* m_panel = nullptr;
    ColorPair m_colors;
};

// An editor with a number field: leaving it loads that ID or, for an invalid one, returns
// the focus to it. Only a leave by the user counts, not a window change or a pop-up.
class NumberFieldDialog : public QDialog
{
public:
    QLineEdit* NumberField() const { return m_number; }

protected:
    NumberFieldDialog(QWidget* parent, QLineEdit* field);
    virtual FieldCheck CheckField(std::string_view text) const = 0;
    virtual void LoadField(int id) = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A refocus still pending from the closed editor must not reach the next one.
    void hideEvent(QHideEvent* event) override;

    QLineEdit* m_number;

private:
    QTimer* m_refocus;
};

// The talkgroup editor (TForm3). Leaving the number field loads the talkgroup; the
// emergency box is stored at once, "Apply" and "Ok" store the rest.
class TalkgroupEditor : public NumberFieldDialog
{
public:
    TalkgroupEditor(QWidget* parent, EditorHost& host);
    QLineEdit* TalkgroupField() const { return m_talkgroup; }
    QLineEdit* NameField() const { return m_name; }
    QSpinBox* PriorityField() const { return m_priority; }
    QCheckBox* EmrgIgnoreBox() const { return m_emrgIgnore; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* DefaultButton() const { return m_default; }
    const ColouredField& Colours() const { return m_colours; }

protected:
    void showEvent(QShowEvent* event) override;
    FieldCheck CheckField(std::string_view text) const override { return CheckTalkgroupField(text); }
    void LoadField(int talkgroup) override;

private:
    void Apply();
    void EnableApply();

    EditorHost& m_host;
    QLineEdit* m_talkgroup;
    QLineEdit* m_name;
    QSpinBox* m_priority;
    QCheckBox* m_emrgIgnore;
    QPushButton* m_apply;
    QPushButton* m_default = nullptr;
    ColouredField m_colours;
};

// The radio ID editor (TForm4): the same form for a radio's description and colours.
class RadioEditor : public NumberFieldDialog
{
public:
    RadioEditor(QWidget* parent, EditorHost& host);
    QLineEdit* RadioField() const { return m_radio; }
    QLineEdit* DescriptionField() const { return m_description; }
    QPushButton* ApplyButton() const { return m_apply; }
    const ColouredField& Colours() const { return m_colours; }

protected:
    void showEvent(QShowEvent* event) override;
    FieldCheck CheckField(std::string_view text) const override { return CheckRadioField(text); }
    void LoadField(int radio) override;

private:
    void Apply();

    EditorHost& m_host;
    QLineEdit* m_radio;
    QLineEdit* m_description;
    QPushButton* m_apply;
    ColouredField m_colours;
};

// The system information editor (TForm2): system and tower names, stored by the caller.
class SystemInfoEditor : public QDialog
{
public:
    explicit SystemInfoEditor(QWidget* parent);
    QLineEdit* SystemName() const { return m_system; }
    QLineEdit* TowerName() const { return m_tower; }

private:
    QLineEdit* m_system;
    QLineEdit* m_tower;
};

// The choice among directory systems that share the monitored System ID (TMultSysForm).
class SystemChoiceDialog : public QDialog
{
public:
    SystemChoiceDialog(QWidget* parent, const std::vector<TrsListDef>& systems, const CONFIG& config);
    QTreeWidget* List() const { return m_list; }
    QPushButton* ImportButton() const { return m_import; }
    // The index of the selected row; none without one.
    std::optional<int> Chosen() const;

private:
    QTreeWidget* m_list;
    QPushButton* m_import;
};

// The index of the system to import, none when the user cancels.
std::optional<int> ChooseSystem(QWidget* parent, const std::vector<TrsListDef>& systems, const CONFIG& config);

// The editors of the System menu and the lists' right-click menu, created once with the
// window and reused.
class Editors
{
public:
    Editors(QWidget* window, EditorHost host);
    ~Editors();

    // "Edit &System Information", "Edit &TalkGroup Information", "Edit &Radio ID Information".
    void AddSystemMenu(QMenu* system);
    // "Edit &Identifier Tables".
    void AddTablesItem(QMenu* system);

    // field: the talkgroup or radio the editor opens with, empty for a free choice. True on OK,
    // after the configuration was saved.
    bool EditTalkgroup(const QString& field);
    bool EditRadio(const QString& field);
    void EditSystemInformation();
    void EditIdentifierTables();

    TalkgroupEditor* Talkgroups() const { return m_talkgroups; }
    RadioEditor* Radios() const { return m_radios; }
    SystemInfoEditor* SystemInfo() const { return m_systemInfo; }
    IdTableEditor* Tables() const { return m_tables; }

private:
    // The System menu's editors need an identified system.
    bool Identified();
    bool EditNumbered(NumberFieldDialog* editor, const QString& field);

    QWidget* m_window;
    EditorHost m_host;
    TalkgroupEditor* m_talkgroups;
    RadioEditor* m_radios;
    SystemInfoEditor* m_systemInfo;
    IdTableEditor* m_tables;
};
