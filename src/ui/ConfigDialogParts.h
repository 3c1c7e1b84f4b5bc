#pragma once
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/ListModels.h"
#include "ui/QtText.h"

// The small builders of the configuration dialog's pages.
namespace ConfigDialogParts {

inline QLabel* Caption(const char* text)
{
    return new QLabel(QString::fromUtf8(text));
}

// Widgets side by side; the one at stretchIndex takes the spare width, else a stretch at the end.
inline QWidget* Row(const std::vector<QWidget*>& widgets, int stretchIndex = -1)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (size_t i = 0; i < widgets.size(); ++i)
        layout->addWidget(widgets[i], static_cast<int>(i) == stretchIndex ? 1 : 0);
    if (stretchIndex < 0)
        layout->addStretch(1);
    return row;
}

inline QGroupBox* Group(const QString& title, const std::vector<QWidget*>& widgets)
{
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    return group;
}

// Widgets one under the other, the spare height below them.
inline QWidget* Stacked(const std::vector<QWidget*>& widgets)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return page;
}

template <typename Items>
QComboBox* Choices(const Items& items)
{
    auto* list = new QComboBox;
    for (const char* item : items)
        list->addItem(QString::fromUtf8(item));
    return list;
}

inline uint32_t ToBgr(const QColor& colour)
{
    return static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8 |
           static_cast<uint32_t>(colour.blue()) << 16;
}

// One colour of a widget's palette; none gives it back the application's.
inline void Tint(QWidget* widget, QPalette::ColorRole role, std::optional<uint32_t> colour)
{
    QPalette palette = QApplication::palette(widget);
    if (colour)
        palette.setColor(role, ToQColor(*colour));
    widget->setPalette(palette);
}

} // namespace ConfigDialogParts
