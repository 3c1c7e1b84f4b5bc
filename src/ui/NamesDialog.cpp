#include "ui/NamesDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

NamesDialog::NamesDialog(QWidget* parent, Direction direction) : QDialog(parent), m_direction(direction)
{
    const bool import = direction == Direction::Import;
    setObjectName(QStringLiteral("names"));
    setWindowTitle(import ? QStringLiteral("Import Names from CSV") : QStringLiteral("Export Names to CSV"));

    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("namesFile"));
    m_path->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this, import] {
        const QString filter = QStringLiteral("CSV Files (*.csv);;Text Files (*.txt);;All Files (*)");
        const QString chosen = import ? QFileDialog::getOpenFileName(this, windowTitle(), m_path->text(), filter)
                                      : QFileDialog::getSaveFileName(this, windowTitle(), m_path->text(), filter);
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
    auto* file = new QHBoxLayout;
    file->addWidget(m_path, 1);
    file->addWidget(browse);

    m_table = new QButtonGroup(this);
    auto* tables = new QHBoxLayout;
    for (const auto& [id, text] : {std::pair{0, "Talkgroups"}, std::pair{1, "Radio IDs"}}) {
        auto* button = new QRadioButton(QString::fromUtf8(text));
        button->setChecked(id == 0);
        m_table->addButton(button, id);
        tables->addWidget(button);
    }
    tables->addStretch(1);

    m_format = new QComboBox;
    m_format->setObjectName(QStringLiteral("namesFormat"));
    if (import)
        m_format->addItem(QStringLiteral("Recognised from the header line"), static_cast<int>(NamesFormat::Auto));
    m_format->addItem(QStringLiteral("Zembrant (every field)"), static_cast<int>(NamesFormat::Zembrant));
    m_format->addItem(QStringLiteral("Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category"),
                      static_cast<int>(NamesFormat::Talkgroup));
    m_format->addItem(QStringLiteral("id,name"), static_cast<int>(NamesFormat::Plain));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File:"), file);
    form->addRow(QStringLiteral("Names of:"), tables);
    form->addRow(QStringLiteral("Layout:"), m_format);
    if (import) {
        m_choice = new QComboBox;
        m_choice->setObjectName(QStringLiteral("namesChoice"));
        m_choice->addItem(QStringLiteral("Only IDs Zembrant does not know yet"), static_cast<int>(TalkgroupImport::New));
        m_choice->addItem(QStringLiteral("New IDs and those with a default description"),
                          static_cast<int>(TalkgroupImport::Default));
        m_choice->addItem(QStringLiteral("Every ID in the file (replace all names)"),
                          static_cast<int>(TalkgroupImport::All));
        form->addRow(QStringLiteral("Import:"), m_choice);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(import ? QStringLiteral("Import") : QStringLiteral("Export"));
    ok->setEnabled(false);
    connect(m_path, &QLineEdit::textChanged, ok, [ok](const QString& text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    // The talkgroup layout holds talkgroups only.
    connect(m_table, &QButtonGroup::idClicked, this, [this](int id) {
        const int talkgroupLayout = m_format->findData(static_cast<int>(NamesFormat::Talkgroup));
        if (id == 1 && m_format->currentIndex() == talkgroupLayout)
            m_format->setCurrentIndex(0);
        if (auto* model = qobject_cast<QStandardItemModel*>(m_format->model()); model && talkgroupLayout >= 0)
            model->item(talkgroupLayout)->setEnabled(id == 0);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::string NamesDialog::Path() const
{
    return m_path->text().trimmed().toStdString();
}

NamesTable NamesDialog::Table() const
{
    return m_table->checkedId() == 1 ? NamesTable::Radios : NamesTable::Talkgroups;
}

NamesFormat NamesDialog::Format() const
{
    return static_cast<NamesFormat>(m_format->currentData().toInt());
}

TalkgroupImport NamesDialog::Choice() const
{
    return m_choice ? static_cast<TalkgroupImport>(m_choice->currentData().toInt()) : TalkgroupImport::New;
}
