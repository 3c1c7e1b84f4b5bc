#include "ui/ReportDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/ListModels.h"
#include "ui/QtText.h"
#include "view/ListColumns.h"
#include "view/ListSorting.h"

ReportDialog::ReportDialog(QWidget* parent, const QString& title, const QString& name, Make make, int refreshMs)
    : QDialog(parent)
{
    setObjectName(name);
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1120, 480);

    m_summary = new QLabel(QStringLiteral("Working..."));
    m_summary->setObjectName(name + QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    auto* save = new QPushButton(QStringLiteral("Save as CSV..."));
    connect(save, &QPushButton::clicked, this, &ReportDialog::SaveAsCsv);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The list's columns come with the first table.
    auto* layout = new QVBoxLayout(this);
    m_list = nullptr;
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(save);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);

    if (refreshMs > 0) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, make] { Show(make()); });
        timer->start(refreshMs);
        Show(make());
        return;
    }
    QPointer<ReportDialog> self(this);
    QThreadPool::globalInstance()->start([self, make] {
        ReportTable table = make();
        QMetaObject::invokeMethod(
            qApp, [self, table = std::move(table)]() mutable {
                if (self)
                    self->Show(std::move(table));
            },
            Qt::QueuedConnection);
    });
}

void ReportDialog::Show(ReportTable table)
{
    std::vector<TextRow> rows;
    for (const auto& cells : table.Rows) {
        TextRow row;
        if (!cells.empty())
            row.Caption = cells[0];
        row.Cells.assign(cells.begin() + (cells.empty() ? 0 : 1), cells.end());
        rows.push_back(std::move(row));
    }
    if (!m_list) {
        QStringList columns;
        for (const std::string& column : table.Columns)
            columns << Q(column);
        auto* model = new TextRowModel(columns, [this]() -> const std::vector<TextRow>& { return m_rows; }, m_mutex,
                                       nullptr);
        m_list = new ListView(model, this);
        m_list->setObjectName(objectName() + QStringLiteral("List"));
        m_list->EnableSorting([this](int l, int r, int column) {
            const auto size = static_cast<int>(m_rows.size());
            if (l < 0 || r < 0 || l >= size || r >= size)
                return 0;
            const int order = CompareTextIgnoringCase(CellAt(m_rows[l], column), CellAt(m_rows[r], column));
            return order != 0 ? order : l - r;
        });
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_list, 1);
    }
    {
        std::lock_guard guard(m_mutex);
        m_rows = std::move(rows);
    }
    static_cast<TextRowModel*>(m_list->Source())->Rebuilt();
    m_list->resizeColumnsToContents();
    m_summary->setText(table.Rows.empty() ? Q(table.Empty)
                                          : QString::number(table.Rows.size()) +
                                                (table.Rows.size() == 1 ? QStringLiteral(" row") : QStringLiteral(" rows")));
    m_table = std::move(table);
    m_made = true;
}

void ReportDialog::SaveAsCsv()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as CSV"), QString(),
                                                QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    std::string error;
    if (!WriteReport(m_table, path.toStdString(), error))
        m_summary->setText(Q(error));
}
