#pragma once
#include <QTabWidget>

#include <climits>

class QTabBar;

// The main window's tab control. Its tab row is a widget of its own that the window lays
// out along its whole width, under the status panels too, so that ten tabs fit; every
// visible tab stays in sight, with no scroll buttons: when the captions still do not fit,
// the widest are shortened first, in the middle (a count at the end survives), and show
// their whole caption as a tool tip. Captions and visibility go through SetCaption and
// SetShown, which keep the row in step.
class WindowTabs : public QTabWidget
{
public:
    WindowTabs();

    QTabBar* Row() const;
    void SetCaption(int index, const QString& text);
    void SetShown(int index, bool shown);

protected:
    void tabInserted(int index) override;
    void tabRemoved(int index) override;

private:
    class TabRow;
    TabRow* m_row;
};
