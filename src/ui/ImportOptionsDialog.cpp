#include "ui/ImportOptionsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The explanation beside a radio button chooses it too, as a button's own text would.
class ChoiceLabel : public QLabel
{
public:
    ChoiceLabel(const QString& text, QRadioButton* radio) : QLabel(text), m_radio(radio) { setWordWrap(true); }

protected:
    void mousePressEvent(QMouseEvent*) override { m_radio->click(); }

private:
    QRadioButton* m_radio;
};

} // namespace

ImportOptionsDialog::ImportOptionsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Radio Reference Import Options"));
    setObjectName(QStringLiteral("importOptions"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Group(QStringLiteral("Site Name Information"), m_sites,
                            {"Import only those site names that do not already exist in the Zembrant database.  ",
                             "Remove every site name Zembrant knows and import the complete list.",
                             "Do not import any site name information."}));
    layout->addWidget(Group(QStringLiteral("Talkgroup Import Options"), m_talkgroups,
                            {"Import only talkgroups that do not already exist in the Zembrant database. (Any "
                             "talkgroups that exist, even those that have not had an alpha tag entered will be "
                             "ignored.",
                             "Import new talkgroups, and overwrite talkgroups that have the default alpha tag "
                             "(Tower and date).",
                             "Import every talkgroup the service lists, overwriting the alpha tags Zembrant has.",
                             "Do not import talkgroup information."}));
    auto* note = new QLabel(QStringLiteral("Only site names are imported: site information files are neither "
                                           "modified nor created by the import."));
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
    auto* buttons = new QDialogButtonBox;
    m_import = buttons->addButton(QStringLiteral("Import from Web"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("importFromWeb"));
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (QButtonGroup* group : {&m_sites, &m_talkgroups})
        connect(group, &QButtonGroup::idClicked, this, [this] { m_import->setEnabled(CanImport(Options())); });
    setMinimumWidth(520);
}

IMPORTOPTIONS ImportOptionsDialog::Options() const
{
    return {static_cast<SiteImport>(m_sites.checkedId()), static_cast<TalkgroupImport>(m_talkgroups.checkedId())};
}

QGroupBox* ImportOptionsDialog::Group(const QString& title, QButtonGroup& group,
                                      std::initializer_list<const char*> texts)
{
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    int id = 0;
    for (const char* text : texts) {
        auto* radio = new QRadioButton;
        radio->setAccessibleName(QString::fromUtf8(text));
        radio->setObjectName(title + QStringLiteral(" ") + QString::number(id + 1));
        auto* label = new ChoiceLabel(QString::fromUtf8(text), radio);
        grid->addWidget(radio, id, 0, Qt::AlignTop);
        grid->addWidget(label, id, 1);
        group.addButton(radio, id++);
    }
    grid->setColumnStretch(1, 1);
    group.button(0)->setChecked(true);
    return box;
}

std::optional<IMPORTOPTIONS> AskImportOptions(QWidget* parent)
{
    ImportOptionsDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Options();
}
