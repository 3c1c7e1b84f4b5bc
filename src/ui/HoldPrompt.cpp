#include "ui/HoldPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

std::optional<QString> AskHoldTalkgroup(QWidget* parent, const QString& prefill)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("holdPrompt"));
    dialog.setWindowTitle(QStringLiteral("Hold TalkGroup"));
    auto* layout = new QFormLayout(&dialog);
    auto* field = new QLineEdit(prefill);
    field->setObjectName(QStringLiteral("talkgroup"));
    layout->addRow(QStringLiteral("Talkgroup:"), field);
    auto* buttons = new QDialogButtonBox;
    QPushButton* hold = buttons->addButton(QStringLiteral("Hold"), QDialogButtonBox::AcceptRole);
    hold->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    field->selectAll();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return field->text();
}
