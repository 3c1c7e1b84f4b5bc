#include "ui/WindowTabs.h"

#include <QHelpEvent>
#include <QResizeEvent>
#include <QTabBar>
#include <QToolTip>

#include <algorithm>
#include <vector>

#include "view/WindowRules.h"

namespace {

// A tab never narrower than this, however narrow the window.
constexpr int MinimumTabWidth = 28;
// Kept free at the end of the row, where the style draws the last tab's frame.
constexpr int RowMargin = 4;

} // namespace

class WindowTabs::TabRow : public QTabBar
{
public:
    TabRow()
    {
        setShape(QTabBar::RoundedSouth);
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideMiddle);
        setExpanding(false);
    }

    // Caps the tabs' widths so that they fit into available.
    void Fit(int available)
    {
        std::vector<int> widths;
        for (int i = 0; i < count(); ++i)
            if (isTabVisible(i))
                widths.push_back(QTabBar::tabSizeHint(i).width());
        const int cap = TabWidthCap(widths, available, MinimumTabWidth);
        if (cap == m_cap)
            return;
        m_cap = cap;
        // Lays the tabs out again with the new widths.
        setElideMode(elideMode());
        updateGeometry();
    }

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setWidth(std::min(size.width(), m_cap));
        return size;
    }

    QSize minimumTabSizeHint(int index) const override
    {
        QSize size = tabSizeHint(index);
        size.setWidth(std::min(size.width(), MinimumTabWidth));
        return size;
    }

    void resizeEvent(QResizeEvent* event) override
    {
        // Before the tabs are laid out at the new width.
        Fit(event->size().width() - RowMargin);
        QTabBar::resizeEvent(event);
    }

    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int index = tabAt(help->pos());
            if (index >= 0 && tabRect(index).width() < QTabBar::tabSizeHint(index).width()) {
                QToolTip::showText(help->globalPos(), tabText(index), this);
                return true;
            }
        }
        return QTabBar::event(event);
    }

private:
    int m_cap = INT_MAX;
};

WindowTabs::WindowTabs() : m_row(new TabRow)
{
    tabBar()->hide();
    // Its focus would go to the hidden bar, where Tab would stop: the row takes it instead.
    tabBar()->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(nullptr);
    connect(this, &QTabWidget::currentChanged, m_row, &QTabBar::setCurrentIndex);
    connect(m_row, &QTabBar::currentChanged, this, &QTabWidget::setCurrentIndex);
}

QTabBar* WindowTabs::Row() const
{
    return m_row;
}

void WindowTabs::SetCaption(int index, const QString& text)
{
    setTabText(index, text);
    m_row->setTabText(index, text);
    m_row->Fit(m_row->width() - RowMargin);
}

void WindowTabs::SetShown(int index, bool shown)
{
    setTabVisible(index, shown);
    m_row->setTabVisible(index, shown);
    m_row->setCurrentIndex(currentIndex());
    m_row->Fit(m_row->width() - RowMargin);
}

void WindowTabs::tabInserted(int index)
{
    QTabWidget::tabInserted(index);
    m_row->insertTab(index, tabText(index));
    m_row->setCurrentIndex(currentIndex());
}

void WindowTabs::tabRemoved(int index)
{
    QTabWidget::tabRemoved(index);
    m_row->removeTab(index);
}
