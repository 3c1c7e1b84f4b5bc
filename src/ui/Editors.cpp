#include "ui/Editors.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/ColourPicker.h"
#include "ui/IdTableEditor.h"
#include "ui/ListModels.h"
#include "ui/Prompter.h"
#include "ui/QtText.h"
#include "view/RowColours.h"

namespace {

constexpr int TalkgroupFieldLength = 5;
constexpr int RadioFieldLength = 8;
constexpr int DescriptionLength = 100;
constexpr int SystemNameLength = 80;
constexpr int MaxPriority = 99;

uint32_t Stored(const QColor& colour)
{
    return static_cast<uint32_t>(colour.blue()) << 16 | static_cast<uint32_t>(colour.green()) << 8
        | static_cast<uint32_t>(colour.red());
}

QLabel* HelpText(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// "Apply", "Cancel", "Ok": "Ok" applies a pending change and closes.
QPushButton* AddEditorButtons(QDialog* dialog, QVBoxLayout* layout, const std::function<void()>& apply)
{
    auto* row = new QHBoxLayout;
    auto* applyButton = new QPushButton(QStringLiteral("Apply"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* ok = new QPushButton(QStringLiteral("Ok"));
    ok->setDefault(true);
    row->addStretch();
    row->addWidget(applyButton);
    row->addWidget(cancel);
    row->addWidget(ok);
    layout->addLayout(row);
    QObject::connect(applyButton, &QPushButton::clicked, dialog, apply);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog, applyButton, apply] {
        if (applyButton->isEnabled())
            apply();
        dialog->accept();
    });
    return applyButton;
}

} // namespace

void SettleMinimumSize(QDialog* dialog)
{
    dialog->ensurePolished();
    dialog->adjustSize();
    dialog->setMinimumSize(dialog->size());
}

NumberFieldDialog::NumberFieldDialog(QWidget* parent, QLineEdit* field)
    : QDialog(parent), m_number(field), m_refocus(new QTimer(this))
{
    m_refocus->setSingleShot(true);
    m_refocus->setInterval(0);
    connect(m_refocus, &QTimer::timeout, this, [this] { m_number->setFocus(Qt::OtherFocusReason); });
    m_number->installEventFilter(this);
}

bool NumberFieldDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_number && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const FieldCheck check = CheckField(m_number->text().toStdString());
            if (check.Action == FieldLeave::Refocus)
                m_refocus->start();
            else if (check.Action == FieldLeave::Load)
                LoadField(check.Id);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NumberFieldDialog::hideEvent(QHideEvent* event)
{
    m_refocus->stop();
    QDialog::hideEvent(event);
}

ColouredField::ColouredField(QWidget* owner, QLineEdit* field, EditorHost& host, std::function<void()> changed)
    : m_owner(owner), m_field(field), m_host(host), m_changed(std::move(changed))
{
    auto* panel = new QGroupBox(QStringLiteral("Color Settings"));
    auto* row = new QHBoxLayout(panel);
    auto* text = new QPushButton(QStringLiteral("Text Color"));
    auto* back = new QPushButton(QStringLiteral("BG Color"));
    auto* reset = new QPushButton(QStringLiteral("Default"));
    reset->setObjectName(QStringLiteral("defaultColors"));
    for (QPushButton* button : {text, back, reset}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    QObject::connect(text, &QPushButton::clicked, owner, [this] { Pick(true); });
    QObject::connect(back, &QPushButton::clicked, owner, [this] { Pick(false); });
    QObject::connect(reset, &QPushButton::clicked, owner, [this] {
        SetColors(Defaults());
        m_changed();
    });
    m_panel = panel;
}

ColorPair ColouredField::Defaults() const
{
    return {m_host.Config.DefaultText, m_host.Config.DefaultBackground};
}

void ColouredField::SetColors(const ColorPair& colors)
{
    m_colors = colors;
    QPalette palette = m_field->palette();
    palette.setColor(QPalette::Text, ToQColor(colors.Text));
    palette.setColor(QPalette::Base, ToQColor(colors.Background));
    m_field->setPalette(palette);
}

void ColouredField::Pick(bool text)
{
    const auto chosen = m_host.Colours.Choose(m_owner, ToQColor(text ? m_colors.Text : m_colors.Background));
    if (!chosen)
        return;
    ColorPair colors = m_colors;
    (text ? colors.Text : colors.Background) = Stored(*chosen);
    SetColors(colors);
    m_changed();
}

TalkgroupEditor::TalkgroupEditor(QWidget* parent, EditorHost& host)
    : NumberFieldDialog(parent, new QLineEdit),
      m_host(host),
      m_talkgroup(m_number),
      m_name(new QLineEdit),
      m_priority(new QSpinBox),
      m_emrgIgnore(new QCheckBox(QStringLiteral("Ignore Emergency Signal:"))),
      m_apply(nullptr),
      m_colours(this, m_name, host, [this] { EnableApply(); })
{
    setObjectName(QStringLiteral("talkgroupEditor"));
    setWindowTitle(QStringLiteral("Talkgroup Edit Screen"));
    m_talkgroup->setMaxLength(TalkgroupFieldLength);
    m_name->setMaxLength(DescriptionLength);
    m_name->setMinimumWidth(260);
    m_priority->setRange(0, MaxPriority);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HelpText(QStringLiteral("To edit a talkgroup, enter the talkgroup number  you wish to edit and "
                                              "then type in the name you wish to associate with that talkgroup.")));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("TalkGroup:"), m_talkgroup);
    form->addRow(QStringLiteral("Talkgroup Name:"), m_name);
    auto* priorityRow = new QHBoxLayout;
    priorityRow->addWidget(m_priority);
    priorityRow->addWidget(new QLabel(QStringLiteral("(0 = Ignore)")));
    priorityRow->addStretch();
    form->addRow(QStringLiteral("Talkgroup Priority:"), priorityRow);
    form->addRow(m_emrgIgnore);
    layout->addLayout(form);
    layout->addWidget(m_colours.Panel());
    m_apply = AddEditorButtons(this, layout, [this] { Apply(); });
    m_default = m_colours.Panel()->findChild<QPushButton*>(QStringLiteral("defaultColors"));

    connect(m_name, &QLineEdit::textChanged, this, [this] {
        if (CanApplyTalkgroup(m_talkgroup->text().toStdString()))
            m_apply->setEnabled(true);
    });
    connect(m_priority, &QSpinBox::valueChanged, this, [this] { EnableApply(); });
    connect(m_emrgIgnore, &QCheckBox::clicked, this, [this](bool checked) {
        const FieldCheck check = CheckTalkgroupField(m_talkgroup->text().toStdString());
        if (check.Action == FieldLeave::Load)
            m_host.Model.SetTalkgroupEmrgIgnore(check.Id, checked ? 1 : 0);
    });
    SettleMinimumSize(this);
}

void TalkgroupEditor::EnableApply()
{
    m_apply->setEnabled(true);
}

void TalkgroupEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const FieldCheck check = CheckTalkgroupField(m_talkgroup->text().toStdString());
    if (check.Action == FieldLeave::Load) {
        LoadField(check.Id);
    } else {
        const TalkgroupEdit edit = EmptyTalkgroupEdit(m_colours.Defaults());
        m_name->setText(Q(edit.Name));
        QSignalBlocker quiet(m_priority);
        m_priority->setValue(edit.Priority);
        m_emrgIgnore->setChecked(edit.EmrgIgnore);
        m_colours.SetColors(edit.Colors);
        m_talkgroup->setFocus(Qt::OtherFocusReason);
    }
    m_apply->setEnabled(false);
}

void TalkgroupEditor::LoadField(int talkgroup)
{
    const TalkgroupEdit edit = LoadTalkgroupEdit(m_host.Model, talkgroup, m_colours.Defaults());
    m_name->setText(Q(edit.Name));
    m_colours.SetColors(edit.Colors);
    {
        QSignalBlocker quiet(m_priority);
        m_priority->setValue(edit.Priority);
    }
    m_emrgIgnore->setChecked(edit.EmrgIgnore);
    m_name->setFocus(Qt::OtherFocusReason);
}

void TalkgroupEditor::Apply()
{
    const FieldCheck check = CheckTalkgroupField(m_talkgroup->text().toStdString());
    if (check.Action != FieldLeave::Load)
        return;
    const TalkgroupEdit edit{m_name->text().toStdString(), m_colours.Colors(), m_priority->value(),
                             m_emrgIgnore->isChecked()};
    ApplyTalkgroupEdit(m_host.Model, check.Id, edit, m_colours.Defaults());
    m_apply->setEnabled(false);
    if (m_host.Changed)
        m_host.Changed();
}

RadioEditor::RadioEditor(QWidget* parent, EditorHost& host)
    : NumberFieldDialog(parent, new QLineEdit),
      m_host(host),
      m_radio(m_number),
      m_description(new QLineEdit),
      m_apply(nullptr),
      m_colours(this, m_description, host, [this] { m_apply->setEnabled(true); })
{
    setObjectName(QStringLiteral("radioEditor"));
    setWindowTitle(QStringLiteral("Edit Radio ID"));
    m_radio->setMaxLength(RadioFieldLength);
    m_description->setMaxLength(DescriptionLength);
    m_description->setMinimumWidth(260);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HelpText(QStringLiteral("Change the description of the radio ID below. If you wish to change "
                                              "another radio ID, enter that ID and then change the description of "
                                              "that radio.")));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Radio ID:"), m_radio);
    form->addRow(QStringLiteral("Radio Description:"), m_description);
    layout->addLayout(form);
    layout->addWidget(m_colours.Panel());
    m_apply = AddEditorButtons(this, layout, [this] { Apply(); });

    connect(m_description, &QLineEdit::textChanged, this, [this] {
        if (CanApplyRadio(m_radio->text().toStdString()))
            m_apply->setEnabled(true);
    });
    SettleMinimumSize(this);
}

void RadioEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const FieldCheck check = CheckRadioField(m_radio->text().toStdString());
    if (check.Action == FieldLeave::Load) {
        const RadioEdit edit = LoadRadioEdit(m_host.Model, check.Id, m_colours.Defaults());
        m_description->setText(Q(edit.Description));
        m_colours.SetColors(edit.Colors);
        m_description->setFocus(Qt::OtherFocusReason);
    } else {
        m_description->clear();
        m_colours.SetColors(m_colours.Defaults());
        m_radio->setFocus(Qt::OtherFocusReason);
    }
    m_apply->setEnabled(false);
}

void RadioEditor::LoadField(int radio)
{
    m_description->setText(Q(m_host.Model.GetRadioDescription(radio)));
}

void RadioEditor::Apply()
{
    const FieldCheck check = CheckRadioField(m_radio->text().toStdString());
    if (check.Action != FieldLeave::Load)
        return;
    ApplyRadioEdit(m_host.Model, check.Id, {m_description->text().toStdString(), m_colours.Colors()},
                   m_colours.Defaults());
    m_apply->setEnabled(false);
    if (m_host.Changed)
        m_host.Changed();
}

SystemInfoEditor::SystemInfoEditor(QWidget* parent)
    : QDialog(parent), m_system(new QLineEdit), m_tower(new QLineEdit)
{
    setObjectName(QStringLiteral("systemInfoEditor"));
    setWindowTitle(QStringLiteral("System Information"));
    m_system->setMaxLength(SystemNameLength);
    m_tower->setMaxLength(SystemNameLength);
    m_system->setMinimumWidth(260);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HelpText(QStringLiteral("Please enter the name of this system in the space below.  Once set, "
                                              "you must choose the save option to make the change perminant.")));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("System Name:"), m_system);
    form->addRow(QStringLiteral("Tower Name:"), m_tower);
    layout->addLayout(form);
    auto* row = new QHBoxLayout;
    auto* apply = new QPushButton(QStringLiteral("Apply"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    apply->setDefault(true);
    row->addStretch();
    row->addWidget(apply);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    SettleMinimumSize(this);
}

SystemChoiceDialog::SystemChoiceDialog(QWidget* parent, const std::vector<TrsListDef>& systems,
                                       const CONFIG& config)
    : QDialog(parent), m_list(new QTreeWidget), m_import(new QPushButton(QStringLiteral("Import")))
{
    setObjectName(QStringLiteral("systemChoice"));
    setWindowTitle(QStringLiteral("Multiple Systems Match System ID"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HelpText(
        QStringLiteral("Some systems will reuse the same System ID from a system in another area of the country.  "
                       "The system you are monitoring is one of those systems.  Please select the correct system "
                       "to import from the list below and then click on the Import Button.")));
    m_list->setHeaderLabels({QStringLiteral("RRID"), QStringLiteral("System Name"), QStringLiteral("City")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumSize(420, 120);
    for (size_t i = 0; i < systems.size(); ++i) {
        auto* item = new QTreeWidgetItem(
            m_list, {QString::number(systems[i].sid), Q(systems[i].sName), Q(systems[i].sCity)});
        const ColorPair colors = OddEvenColors(config, static_cast<int>(i));
        for (int column = 0; column < 3; ++column) {
            item->setForeground(column, ToQColor(colors.Text));
            item->setBackground(column, ToQColor(colors.Background));
        }
    }
    m_list->header()->resizeSection(1, 200);
    layout->addWidget(m_list);
    auto* row = new QHBoxLayout;
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    m_import->setEnabled(false);
    row->addStretch();
    row->addWidget(m_import);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { m_import->setEnabled(Chosen().has_value()); });
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    SettleMinimumSize(this);
}

std::optional<int> SystemChoiceDialog::Chosen() const
{
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return m_list->indexOfTopLevelItem(selected.front());
}

std::optional<int> ChooseSystem(QWidget* parent, const std::vector<TrsListDef>& systems, const CONFIG& config)
{
    SystemChoiceDialog dialog(parent, systems, config);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Chosen();
}

Editors::Editors(QWidget* window, EditorHost host)
    : m_window(window),
      m_host(std::move(host)),
      m_talkgroups(new TalkgroupEditor(window, m_host)),
      m_radios(new RadioEditor(window, m_host)),
      m_systemInfo(new SystemInfoEditor(window)),
      m_tables(new IdTableEditor(window, m_host))
{
}

Editors::~Editors() = default;

void Editors::AddSystemMenu(QMenu* system)
{
    system->addAction(QStringLiteral("Edit &System Information"), m_window, [this] { EditSystemInformation(); });
    system->addAction(QStringLiteral("Edit &TalkGroup Information"), m_window, [this] {
        if (Identified())
            EditTalkgroup({});
    });
    system->addAction(QStringLiteral("Edit &Radio ID Information"), m_window, [this] {
        if (Identified())
            EditRadio({});
    });
}

void Editors::AddTablesItem(QMenu* system)
{
    system->addAction(QStringLiteral("Edit I&dentifier Tables"), m_window, [this] { EditIdentifierTables(); });
}

bool Editors::Identified()
{
    if (m_host.Model.GetSystemId() != 0)
        return true;
    m_host.Prompts.Tell(m_window, QStringLiteral("Error"),
                        QStringLiteral("You must first connect to a tower before you can set the system information."));
    return false;
}

bool Editors::EditTalkgroup(const QString& field)
{
    return EditNumbered(m_talkgroups, field);
}

bool Editors::EditRadio(const QString& field)
{
    return EditNumbered(m_radios, field);
}

bool Editors::EditNumbered(NumberFieldDialog* editor, const QString& field)
{
    editor->NumberField()->setText(field);
    if (editor->exec() != QDialog::Accepted)
        return false;
    m_host.SaveSettings();
    return true;
}

void Editors::EditSystemInformation()
{
    if (!Identified())
        return;
    const SYSINFO info = m_host.Model.CopySystemInfo();
    m_systemInfo->SystemName()->setText(Q(info.SystemDescription));
    m_systemInfo->TowerName()->setText(Q(info.SiteDescription));
    if (m_systemInfo->exec() != QDialog::Accepted)
        return;
    m_host.Model.SetSystemDescription(m_systemInfo->SystemName()->text().toStdString());
    m_host.Model.SetSiteDescription(m_systemInfo->TowerName()->text().toStdString());
}

void Editors::EditIdentifierTables()
{
    if (Identified())
        m_tables->Edit();
}
