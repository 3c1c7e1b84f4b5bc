#include "ui/IdTableEditor.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/Editors.h"
#include "ui/ListModels.h"
#include "ui/Prompter.h"
#include "ui/QtText.h"
#include "view/RowColours.h"

namespace {

std::string Text(const QLineEdit* field)
{
    return field->text().toStdString();
}

QHBoxLayout* Buttons(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace

IdTableForm::IdTableForm(QWidget* parent) : QDialog(parent), m_ok(new QPushButton(QStringLiteral("Ok")))
{
    setObjectName(QStringLiteral("identifierTableForm"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const QString labels[FieldCount] = {QStringLiteral("Base Frequency (MHz):"), QStringLiteral("Spacing (MHz):"),
                                        QStringLiteral("Input Offset (MHz):"), QStringLiteral("Bandwidth (MHz):"),
                                        QStringLiteral("TDMA Slots (1-6):")};
    for (int i = 0; i < FieldCount; ++i) {
        m_fields[i] = new QLineEdit;
        m_fields[i]->setMaxLength(12);
        m_fields[i]->setMinimumWidth(120);
        form->addRow(labels[i], m_fields[i]);
        connect(m_fields[i], &QLineEdit::textChanged, this,
                [this] { m_ok->setEnabled(ReadTableFields(Fields()).has_value()); });
    }
    layout->addLayout(form);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    m_ok->setDefault(true);
    layout->addLayout(Buttons({m_ok, cancel}));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    SettleMinimumSize(this);
}

IdentifierTableFields IdTableForm::Fields() const
{
    return {Text(m_fields[Base]), Text(m_fields[Spacing]), Text(m_fields[Offset]), Text(m_fields[Bandwidth]),
            Text(m_fields[Slots])};
}

std::optional<IDENTABLE> IdTableForm::Edit(int identifier, const IDENTABLE& table)
{
    setWindowTitle(QStringLiteral("Identifier Table %1").arg(identifier, 2, 10, QLatin1Char('0')));
    const IdentifierTableFields fields = TableFields(table);
    m_fields[Base]->setText(Q(fields.Base));
    m_fields[Spacing]->setText(Q(fields.Spacing));
    m_fields[Offset]->setText(Q(fields.Offset));
    m_fields[Bandwidth]->setText(Q(fields.Bandwidth));
    m_fields[Slots]->setText(Q(fields.Slots));
    m_ok->setEnabled(ReadTableFields(fields).has_value());
    m_fields[Base]->setFocus(Qt::OtherFocusReason);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return ReadTableFields(Fields());
}

IdTableEditor::IdTableEditor(QWidget* parent, EditorHost& host)
    : QDialog(parent), m_host(host), m_list(new QTreeWidget), m_menu(new QMenu(this)), m_form(new IdTableForm(this))
{
    setObjectName(QStringLiteral("identifierTableEditor"));
    setWindowTitle(QStringLiteral("Identifier Table Configuration"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(QStringLiteral(
        "Enter here the tables of a site whose control channel does not broadcast all of them: right-click a table "
        "to edit or clear it. Manually entered tables are saved with the system, loaded when the system is "
        "initialized, and replaced by tables received on the control channel, which cannot be edited."));
    help->setWordWrap(true);
    layout->addWidget(help);

    m_list->setHeaderLabels({QStringLiteral("Table"), QStringLiteral("Base"), QStringLiteral("Spacing"),
                             QStringLiteral("Bandwidth"), QStringLiteral("Slots"), QStringLiteral("Offset"),
                             QStringLiteral("Status")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setMinimumSize(520, 300);
    layout->addWidget(m_list);

    QAction* edit = m_menu->addAction(QStringLiteral("Edit Table"));
    QAction* clear = m_menu->addAction(QStringLiteral("Clear Table"));
    const auto current = [this] { return m_list->indexOfTopLevelItem(m_list->currentItem()); };
    connect(edit, &QAction::triggered, this, [this, current] { EditRow(current()); });
    connect(clear, &QAction::triggered, this, [this, current] { ClearRow(current()); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this, edit, clear](const QPoint& at) {
        QTreeWidgetItem* item = m_list->itemAt(at);
        if (!item)
            return;
        m_list->setCurrentItem(item);
        const IDENTABLE& table = m_edited[static_cast<size_t>(m_list->indexOfTopLevelItem(item))];
        edit->setEnabled(CanEditIdentifierTable(table));
        clear->setEnabled(CanEditIdentifierTable(table) && table.Base != 0.0);
        m_menu->popup(m_list->viewport()->mapToGlobal(at));
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { EditRow(m_list->indexOfTopLevelItem(item)); });

    auto* done = new QPushButton(QStringLiteral("Done"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    done->setDefault(true);
    layout->addLayout(Buttons({done, cancel}));
    connect(done, &QPushButton::clicked, this, [this] { Done(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    SettleMinimumSize(this);
}

void IdTableEditor::Edit()
{
    m_host.Model.CopyIdentifierTables(m_before.data(), MaxIdentifierTables);
    m_edited = m_before;
    ShowRows();
    exec();
}

void IdTableEditor::ShowRows()
{
    const int current = m_list->indexOfTopLevelItem(m_list->currentItem());
    m_list->clear();
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        QStringList cells;
        for (const std::string& cell : IdentifierTableRow(i, m_edited[static_cast<size_t>(i)]))
            cells.append(Q(cell));
        auto* item = new QTreeWidgetItem(m_list, cells);
        const ColorPair colors = OddEvenColors(m_host.Config, i);
        for (int column = 0; column < cells.size(); ++column) {
            item->setForeground(column, ToQColor(colors.Text));
            item->setBackground(column, ToQColor(colors.Background));
        }
    }
    if (current >= 0)
        m_list->setCurrentItem(m_list->topLevelItem(current));
}

void IdTableEditor::EditRow(int identifier)
{
    if (identifier < 0 || identifier >= MaxIdentifierTables)
        return;
    IDENTABLE& table = m_edited[static_cast<size_t>(identifier)];
    if (!CanEditIdentifierTable(table))
        return;
    if (const auto entered = m_form->Edit(identifier, table)) {
        table = *entered;
        ShowRows();
    }
}

void IdTableEditor::ClearRow(int identifier)
{
    if (identifier < 0 || identifier >= MaxIdentifierTables
        || !CanEditIdentifierTable(m_edited[static_cast<size_t>(identifier)]))
        return;
    m_edited[static_cast<size_t>(identifier)] = IDENTABLE{};
    ShowRows();
}

void IdTableEditor::Done()
{
    if (m_edited != m_before) {
        if (!ApplyIdentifierTables(m_host.Model, m_before, m_edited))
            m_host.Prompts.Tell(this, QStringLiteral("Identifier Tables"),
                                QStringLiteral("The site has sent its own table meanwhile; the received table was "
                                               "kept."));
        m_host.SaveSystem();
    }
    accept();
}
