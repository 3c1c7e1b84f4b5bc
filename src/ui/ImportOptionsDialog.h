#pragma once
#include <QButtonGroup>
#include <QDialog>

#include <optional>

#include "directory/SystemImport.h"

class QGroupBox;
class QPushButton;

// "Radio Reference Import Options": how much the import takes. A choice stays one line of
// a radio button and its explanation wraps beside it, so the long texts never widen it.
class ImportOptionsDialog : public QDialog
{
public:
    explicit ImportOptionsDialog(QWidget* parent);
    IMPORTOPTIONS Options() const;

private:
    QGroupBox* Group(const QString& title, QButtonGroup& group, std::initializer_list<const char*> texts);

    QButtonGroup m_sites;
    QButtonGroup m_talkgroups;
    QPushButton* m_import = nullptr;
};

// Shows the dialog; empty when cancelled.
std::optional<IMPORTOPTIONS> AskImportOptions(QWidget* parent);
