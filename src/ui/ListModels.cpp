#include "ui/ListModels.h"

#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

#include "view/ListColumns.h"

ListModel::ListModel(QStringList columns, std::recursive_mutex& mutex, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)), m_mutex(mutex)
{
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_count)
        return {};
    std::lock_guard guard(m_mutex);
    const std::string_view cell = Cell(index.row(), index.column());
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_columns[section];
}

void ListModel::CellsChanged()
{
    if (m_count > 0)
        emit dataChanged(index(0, 0), index(m_count - 1, columnCount() - 1));
}

void ListModel::Resize(int removeFront, int count)
{
    if (removeFront > 0) {
        beginRemoveRows({}, 0, removeFront - 1);
        m_count -= removeFront;
        endRemoveRows();
    }
    if (count > m_count) {
        beginInsertRows({}, m_count, count - 1);
        m_count = count;
        endInsertRows();
    } else if (count < m_count) {
        beginRemoveRows({}, count, m_count - 1);
        m_count = count;
        endRemoveRows();
    }
}

TextRowModel::TextRowModel(QStringList columns, Rows rows, std::recursive_mutex& mutex, QObject* parent)
    : ListModel(std::move(columns), mutex, parent), m_rows(std::move(rows))
{
}

void TextRowModel::Rebuilt()
{
    std::lock_guard guard(m_mutex);
    const int before = m_count;
    Resize(0, static_cast<int>(m_rows().size()));
    if (std::min(before, m_count) > 0)
        emit dataChanged(index(0, 0), index(std::min(before, m_count) - 1, columnCount() - 1));
}

const TextRow* TextRowModel::RowAt(int row) const
{
    const auto& rows = m_rows();
    return row >= 0 && static_cast<size_t>(row) < rows.size() ? &rows[static_cast<size_t>(row)] : nullptr;
}

std::string_view TextRowModel::Cell(int row, int column) const
{
    const TextRow* r = RowAt(row);
    return r ? CellAt(*r, column) : std::string_view{};
}

LogRowModel::LogRowModel(QStringList columns, const LogList& list, std::recursive_mutex& mutex, QObject* parent)
    : ListModel(std::move(columns), mutex, parent), m_list(list)
{
}

void LogRowModel::Sync()
{
    std::lock_guard guard(m_mutex);
    const uint64_t dropped = m_list.DroppedCount();
    const int removeFront = static_cast<int>(std::min<uint64_t>(dropped - m_droppedSeen, static_cast<uint64_t>(m_count)));
    if (removeFront > 0) {
        beginRemoveRows({}, 0, removeFront - 1);
        m_count -= removeFront;
        // Only now do the rows after them move up.
        m_droppedSeen += static_cast<uint64_t>(removeFront);
        endRemoveRows();
    }
    m_droppedSeen = dropped;
    Resize(0, static_cast<int>(m_list.Rows().size()));
}

const LogRow* LogRowModel::RowAt(int row) const
{
    // Rows dropped since the last sync shift the list under the shown rows.
    const int64_t at = row - static_cast<int64_t>(m_list.DroppedCount() - m_droppedSeen);
    const auto& rows = m_list.Rows();
    return at >= 0 && static_cast<size_t>(at) < rows.size() ? &rows[static_cast<size_t>(at)] : nullptr;
}

std::string_view LogRowModel::Cell(int row, int column) const
{
    const LogRow* r = RowAt(row);
    return r ? CellAt(*r, column) : std::string_view{};
}

QColor ToQColor(uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>(bgr >> 8 & 0xFF), static_cast<int>(bgr >> 16 & 0xFF));
}

QVariant ListProxy::data(const QModelIndex& index, int role) const
{
    if ((role != Qt::ForegroundRole && role != Qt::BackgroundRole) || !m_colors || !index.isValid())
        return QSortFilterProxyModel::data(index, role);
    const auto* source = static_cast<const ListModel*>(sourceModel());
    std::lock_guard guard(source->Mutex());
    const ColorPair pair = m_colors(mapToSource(index).row(), index.row()).At(index.column());
    return QBrush(ToQColor(role == Qt::ForegroundRole ? pair.Text : pair.Background));
}

bool ListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (!m_compare)
        return left.row() < right.row();
    const auto* source = static_cast<const ListModel*>(sourceModel());
    std::lock_guard guard(source->Mutex());
    return m_compare(left.row(), right.row(), left.column()) < 0;
}

ListView::ListView(ListModel* model, QWidget* parent)
    : QTableView(parent), m_source(model), m_proxy(new ListProxy(this))
{
    model->setParent(this);
    m_proxy->setSourceModel(model);
    setModel(m_proxy);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control instead of walking its cells.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setShowGrid(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(true);
    // A user may drag a column shut, and that width is kept.
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
}

void ListView::EnableSorting(ListProxy::Compare compare)
{
    m_proxy->SetCompare(std::move(compare));
    m_sorted = true;
    m_proxy->setDynamicSortFilter(isVisible());
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    m_proxy->sort(0, Qt::AscendingOrder);
    horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_proxy->sort(column, Qt::AscendingOrder);
        horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
    });
}

void ListView::SetColumnWidths(const std::vector<int>& widths)
{
    // The widths were chosen for an 8-point Tahoma; scale them to the font in use.
    const double scale = std::max(1.0, fontMetrics().horizontalAdvance(QStringLiteral("01-0165 ")) / 40.0);
    int column = 0;
    for (int width : widths)
        setColumnWidth(column++, static_cast<int>(width * scale));
}

int ListView::CurrentSourceRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_proxy->mapToSource(current).row() : -1;
}

void ListView::ScrollIfFollowing()
{
    if (AutoScroll)
        scrollToBottom();
}

// A list on a hidden tab keeps its rows but not its order: a busy replay would otherwise
// re-sort thousands of unseen rows every refresh. Showing it sorts it once.
void ListView::showEvent(QShowEvent* event)
{
    if (m_sorted && !m_proxy->dynamicSortFilter()) {
        m_proxy->sort(m_proxy->sortColumn(), m_proxy->sortOrder());
        m_proxy->setDynamicSortFilter(true);
    }
    QTableView::showEvent(event);
}

void ListView::hideEvent(QHideEvent* event)
{
    m_proxy->setDynamicSortFilter(false);
    QTableView::hideEvent(event);
}
