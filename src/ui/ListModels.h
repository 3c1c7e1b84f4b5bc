#pragma once
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QTableView>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "view/LogLists.h"
#include "view/RowColours.h"
#include "view/ScreenLists.h"

// The lists of the main window: one table model per list over the refresh cycle's rows,
// a sort proxy that asks the core's comparisons, and one view kind for all of them.
// The refresh's processing thread may add log rows between blocks, so every read of the
// rows holds the refresh mutex.

class ListModel : public QAbstractTableModel
{
public:
    ListModel(QStringList columns, std::recursive_mutex& mutex, QObject* parent);

    int columnCount(const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    std::recursive_mutex& Mutex() const { return m_mutex; }
    // Every cell may have changed (descriptions refreshed).
    void CellsChanged();

protected:
    // Called with the mutex held; empty for a row that is gone.
    virtual std::string_view Cell(int row, int column) const = 0;
    // Brings the row count to count by removing rows at the front and appending at the end.
    void Resize(int removeFront, int count);

    QStringList m_columns;
    std::recursive_mutex& m_mutex;
    int m_count = 0;
};

// A list the refresh rebuilds whole (activity, site information, patches, ...).
class TextRowModel : public ListModel
{
public:
    using Rows = std::function<const std::vector<TextRow>&()>;
    TextRowModel(QStringList columns, Rows rows, std::recursive_mutex& mutex, QObject* parent);

    // After a rebuild: rows are updated in place, so selections and the sort survive.
    void Rebuilt();
    // Null when the row is gone.
    const TextRow* RowAt(int row) const;

protected:
    std::string_view Cell(int row, int column) const override;

private:
    Rows m_rows;
};

// A log list: follows its dropped counter and size, never copying the list. A row shown
// at r is the list's row r - (rows dropped since the last sync).
class LogRowModel : public ListModel
{
public:
    LogRowModel(QStringList columns, const LogList& list, std::recursive_mutex& mutex, QObject* parent);

    void Sync();
    const LogRow* RowAt(int row) const;
    const LogList& List() const { return m_list; }

protected:
    std::string_view Cell(int row, int column) const override;

private:
    const LogList& m_list;
    uint64_t m_droppedSeen = 0;
};

// Sorts by the list's own comparison (ascending; its descending columns inside it) and
// paints rows in the colours the core decides, by the row's place from the top.
class ListProxy : public QSortFilterProxyModel
{
public:
    // <0, 0, >0 for two source rows by column.
    using Compare = std::function<int(int left, int right, int column)>;
    using Colors = std::function<RowColors(int sourceRow, int position)>;

    explicit ListProxy(QObject* parent) : QSortFilterProxyModel(parent) {}
    void SetCompare(Compare compare) { m_compare = std::move(compare); }
    void SetColors(Colors colors) { m_colors = std::move(colors); }

    QVariant data(const QModelIndex& index, int role) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    Compare m_compare;
    Colors m_colors;
};

QColor ToQColor(uint32_t bgr);

// The one list view kind of the window.
class ListView : public QTableView
{
public:
    ListView(ListModel* model, QWidget* parent);

    ListModel* Source() const { return m_source; }
    ListProxy* Proxy() const { return m_proxy; }
    // Header clicks sort by the clicked column from now on.
    void EnableSorting(ListProxy::Compare compare);
    void SetColumnWidths(const std::vector<int>& widths);
    // The source row of the current row, or -1.
    int CurrentSourceRow() const;
    bool AutoScroll = false;
    void ScrollIfFollowing();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ListModel* m_source;
    ListProxy* m_proxy;
    bool m_sorted = false;
};
