#include "ui/ActivityControls.h"

#include <QBoxLayout>
#include <QLabel>
#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int Spacing = 6;
constexpr int RowSpacing = 2;
// Side by side the patch list takes this share of the lists' width, the grant list the rest.
constexpr int PatchStretch = 2;
constexpr int GrantStretch = 5;

int WantedWidth(const QWidget* part)
{
    return std::max(part->sizeHint().width(), part->minimumWidth());
}

} // namespace

ActivityControls::ActivityControls(const std::vector<QWidget*>& lists, int height, const std::vector<QWidget*>& parts,
                                   QWidget* label)
    : m_listWidgets(lists), m_lists(new QWidget(this)), m_height(height), m_parts(parts)
{
    // Room for the longest hold text, so that a hold never reflows the rows.
    if (auto* text = qobject_cast<QLabel*>(label))
        text->setMinimumWidth(text->fontMetrics().horizontalAdvance(QStringLiteral("Holding Talkgroup 65535")));
    m_listsLayout = new QBoxLayout(QBoxLayout::LeftToRight, m_lists);
    m_listsLayout->setContentsMargins(0, 0, 0, 0);
    m_listsLayout->setSpacing(Spacing);
    for (QWidget* list : m_listWidgets)
        m_listsLayout->addWidget(list);
    for (QWidget* part : m_parts)
        part->setParent(this);
    Arrange(QWIDGETSIZE_MAX);
}

void ActivityControls::SetListsShown(bool shown)
{
    std::vector<bool> visible;
    for (const QWidget* list : m_listWidgets)
        visible.push_back(!list->isHidden());
    if (shown == m_listsShown && visible == m_listsVisible)
        return;
    m_listsShown = shown;
    m_listsVisible = visible;
    m_arranged = false;
    Arrange(width());
}

int ActivityControls::ListsWidth() const
{
    int width = 0;
    int shown = 0;
    for (const QWidget* list : m_listWidgets)
        if (!list->isHidden()) {
            width += list->minimumSizeHint().width();
            ++shown;
        }
    return width + Spacing * std::max(shown - 1, 0);
}

std::vector<int> ActivityControls::RowsFor(int width) const
{
    std::vector<int> rows;
    int used = 0;
    for (const QWidget* part : m_parts) {
        const int wanted = WantedWidth(part);
        if (!rows.empty() && used + Spacing + wanted <= width) {
            ++rows.back();
            used += Spacing + wanted;
        } else {
            rows.push_back(1);
            used = wanted;
        }
    }
    return rows;
}

void ActivityControls::Arrange(int width)
{
    int column = 0;
    for (const QWidget* part : m_parts)
        column = std::max(column, WantedWidth(part));
    const bool beside = m_listsShown && ListsWidth() + Spacing + column <= width;
    const bool stacked = m_listsShown && !beside && ListsWidth() > width;
    const std::vector<int> rows = beside ? std::vector<int>() : RowsFor(width);
    if (m_arranged && beside == m_beside && stacked == m_stacked && rows == m_rows)
        return;
    m_arranged = true;
    m_beside = beside;
    m_stacked = stacked;
    m_rows = rows;

    m_listsLayout->setDirection(stacked ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    if (m_listWidgets.size() == 2) {
        m_listsLayout->setStretch(0, stacked ? 1 : PatchStretch);
        m_listsLayout->setStretch(1, stacked ? 1 : GrantStretch);
    }
    m_lists->setVisible(m_listsShown);
    delete layout();
    if (beside) {
        m_lists->setFixedHeight(m_height);
        auto* outer = new QHBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(Spacing);
        outer->addWidget(m_lists, 1);
        auto* parts = new QVBoxLayout;
        parts->setSpacing(Spacing);
        for (QWidget* part : m_parts)
            parts->addWidget(part);
        parts->addStretch(1);
        outer->addLayout(parts);
        return;
    }
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(RowSpacing);
    if (m_listsShown)
        outer->addWidget(m_lists);
    int rowsHeight = 0;
    size_t next = 0;
    for (int count : rows) {
        auto* row = new QHBoxLayout;
        row->setSpacing(Spacing);
        int rowHeight = 0;
        for (int i = 0; i < count && next < m_parts.size(); ++i) {
            rowHeight = std::max(rowHeight, m_parts[next]->sizeHint().height());
            row->addWidget(m_parts[next++], 0, Qt::AlignVCenter);
        }
        row->addStretch(1);
        outer->addLayout(row);
        rowsHeight += rowHeight + RowSpacing;
    }
    // Side by side the activity list keeps what it has with the controls beside the lists;
    // lists one above the other need the whole height.
    m_lists->setFixedHeight(stacked ? m_height : std::max(m_height - rowsHeight, m_height / 2));
}

void ActivityControls::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Arrange(event->size().width());
}
