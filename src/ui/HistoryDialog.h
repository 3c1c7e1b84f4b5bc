#pragma once
#include <QDialog>

#include <mutex>
#include <string>
#include <vector>

#include "history/HistoryView.h"

class QLabel;
class ListView;

// The history of one radio or talkgroup: a sortable list, newest first, read on a worker
// so that a large or locked database never holds the window.
class HistoryDialog : public QDialog
{
public:
    // Rows past it are counted, not shown.
    static constexpr size_t ShownRows = 10000;

    HistoryDialog(QWidget* parent, const std::string& dataFolder, int sysId, HistorySubject subject, int id,
                  const std::string& name);

    ListView* List() const { return m_list; }
    // True once the read finished (tests wait for it).
    bool IsRead() const { return m_read; }

private:
    void Show(HistoryAnswer answer);

    std::recursive_mutex m_mutex;
    std::vector<TextRow> m_rows;
    ListView* m_list = nullptr;
    QLabel* m_summary = nullptr;
    bool m_read = false;
};
