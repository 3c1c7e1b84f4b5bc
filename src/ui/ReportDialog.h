#pragma once
#include <QDialog>

#include <functional>
#include <mutex>
#include <vector>

#include "report/ReportTable.h"
#include "view/ScreenLists.h"

class QLabel;
class QTimer;
class ListView;

// A report as a sortable list with a Save as CSV button: what changed, the directory's
// disagreements, the follow decisions. The table is made on a worker (make may read
// files), or, with a refresh interval, again and again on the window's thread.
class ReportDialog : public QDialog
{
public:
    using Make = std::function<ReportTable()>;

    // refreshMs 0: made once, on a worker; else made every refreshMs on this thread (it
    // must be quick).
    ReportDialog(QWidget* parent, const QString& title, const QString& name, Make make, int refreshMs = 0);

    ListView* List() const { return m_list; }
    bool IsMade() const { return m_made; }
    const ReportTable& Table() const { return m_table; }

private:
    void Show(ReportTable table);
    void SaveAsCsv();

    std::recursive_mutex m_mutex;
    ReportTable m_table;
    std::vector<TextRow> m_rows;
    ListView* m_list = nullptr;
    QLabel* m_summary = nullptr;
    bool m_made = false;
};
