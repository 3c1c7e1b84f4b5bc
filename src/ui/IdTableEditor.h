#pragma once
#include <QDialog>

#include <optional>

#include "view/EditorRules.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
struct EditorHost;

// One table's fields; "Ok" is offered only while they describe a table.
class IdTableForm : public QDialog
{
public:
    explicit IdTableForm(QWidget* parent);
    // The table the user entered, none on "Cancel".
    std::optional<IDENTABLE> Edit(int identifier, const IDENTABLE& table);
    QLineEdit* Field(int index) const { return m_fields[index]; }
    QPushButton* OkButton() const { return m_ok; }

    enum FieldIndex { Base, Spacing, Offset, Bandwidth, Slots, FieldCount };

private:
    IdentifierTableFields Fields() const;

    QLineEdit* m_fields[FieldCount] = {};
    QPushButton* m_ok;
};

// The identifier table editor (TIdenEditForm): the sixteen tables as they stand, edited on a
// copy; "Done" stores the tables the user changed as manual ones and saves the system folder.
class IdTableEditor : public QDialog
{
public:
    IdTableEditor(QWidget* parent, EditorHost& host);
    void Edit();

    QTreeWidget* List() const { return m_list; }
    QMenu* RowMenu() const { return m_menu; }
    IdTableForm* Form() const { return m_form; }
    // The row commands, as the pop-up menu runs them on the current row.
    void EditRow(int identifier);
    void ClearRow(int identifier);

private:
    void ShowRows();
    void Done();

    EditorHost& m_host;
    QTreeWidget* m_list;
    QMenu* m_menu;
    IdTableForm* m_form;
    IdentifierTables m_before{};
    IdentifierTables m_edited{};
};
