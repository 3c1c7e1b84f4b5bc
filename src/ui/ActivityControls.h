#pragma once
#include <QWidget>

#include <vector>

class QBoxLayout;

// What stands under the activity list: the patch and grant lists when they are shown, and
// the controls (the threshold box, the hold and usage buttons, the hold label). Beside the
// lists the controls stand in a column at the right; without the lists, or where the tab
// is too narrow for both side by side, they go along the bottom in a row that takes further
// rows as the width requires, and lists too narrow to stand side by side stand one above
// the other.
class ActivityControls : public QWidget
{
public:
    // The lists take height, the controls' rows included when those stand below them;
    // parts in their order along a row; label is the one whose text changes.
    ActivityControls(const std::vector<QWidget*>& lists, int height, const std::vector<QWidget*>& parts,
                     QWidget* label);

    // Call after showing or hiding a list.
    void SetListsShown(bool shown);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The shown lists' narrowest width side by side.
    int ListsWidth() const;
    // How many parts each row along the bottom holds.
    std::vector<int> RowsFor(int width) const;
    void Arrange(int width);

    std::vector<QWidget*> m_listWidgets;
    QWidget* m_lists;
    QBoxLayout* m_listsLayout;
    int m_height;
    std::vector<QWidget*> m_parts;
    bool m_listsShown = false;
    std::vector<bool> m_listsVisible;
    bool m_beside = false;
    bool m_stacked = false;
    std::vector<int> m_rows;
    bool m_arranged = false;
};
