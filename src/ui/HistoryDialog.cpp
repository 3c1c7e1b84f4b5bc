#include "ui/HistoryDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QThreadPool>
#include <QVBoxLayout>

#include "history/HistoryStore.h"
#include "ui/ListModels.h"
#include "ui/QtText.h"

HistoryDialog::HistoryDialog(QWidget* parent, const std::string& dataFolder, int sysId, HistorySubject subject,
                             int id, const std::string& name)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("history"));
    setWindowTitle(QStringLiteral("History of ") + Q(HistoryTitle(subject, id, name)));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1000, 520);

    QStringList columns;
    for (const char* column : HistoryListColumns())
        columns << QString::fromUtf8(column);
    auto* model = new TextRowModel(columns, [this]() -> const std::vector<TextRow>& { return m_rows; }, m_mutex,
                                   nullptr);
    m_list = new ListView(model, this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->EnableSorting([this](int l, int r, int column) {
        const auto size = static_cast<int>(m_rows.size());
        if (l < 0 || r < 0 || l >= size || r >= size)
            return 0;
        return CompareHistoryRows(m_rows[l], m_rows[r], column);
    });
    m_list->SetColumnWidths({130, 75, 95, 45, 65, 80, 60, 150, 75, 150, 75, 150, 220});

    m_summary = new QLabel(QStringLiteral("Reading the history..."));
    m_summary->setObjectName(QStringLiteral("historySummary"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);

    // The answer comes back through the application object, which outlives the pool's
    // tasks; the dialog may be closed by then.
    QPointer<HistoryDialog> self(this);
    QThreadPool::globalInstance()->start([self, dataFolder, sysId, subject, id] {
        HistoryAnswer answer = ReadHistory(dataFolder, sysId, subject, id, ShownRows);
        QMetaObject::invokeMethod(
            qApp, [self, answer = std::move(answer)]() mutable {
                if (self)
                    self->Show(std::move(answer));
            },
            Qt::QueuedConnection);
    });
}

void HistoryDialog::Show(HistoryAnswer answer)
{
    m_read = true;
    if (!answer.Error.empty()) {
        m_summary->setText(Q(answer.Error));
        return;
    }
    std::vector<TextRow> rows = HistoryListRows(answer.Rows);
    {
        std::lock_guard guard(m_mutex);
        m_rows = std::move(rows);
    }
    static_cast<TextRowModel*>(m_list->Source())->Rebuilt();
    m_summary->setText(Q(HistorySummaryText(answer.Count, answer.First, answer.Last, answer.Count > m_rows.size())));
}
