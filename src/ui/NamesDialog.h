#pragma once
#include <QDialog>

#include "names/NamesCsv.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;

// "Import Names from CSV..." and "Export Names to CSV...": the file, the table, the layout
// and, for an import, which names the file may replace.
class NamesDialog : public QDialog
{
public:
    enum class Direction { Import, Export };

    NamesDialog(QWidget* parent, Direction direction);

    std::string Path() const;
    NamesTable Table() const;
    NamesFormat Format() const;
    TalkgroupImport Choice() const;

    QLineEdit* PathField() const { return m_path; }

private:
    Direction m_direction;
    QLineEdit* m_path = nullptr;
    QButtonGroup* m_table = nullptr;
    QComboBox* m_format = nullptr;
    QComboBox* m_choice = nullptr;
};
