#include "ui/ColourPicker.h"

#include <QColorDialog>

#include <cstdio>
#include <cstdlib>

#include "ui/ListModels.h"

namespace
{
constexpr int Slots = 16;

// "FFFFFFFF" (the stored default) is above any colour: an empty slot, shown white.
QColor FromStored(const std::string& text)
{
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || value > 0xFFFFFF)
        return QColor(Qt::white);
    return ToQColor(static_cast<uint32_t>(value));
}

std::string ToStored(const QColor& colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06X",
                  static_cast<unsigned>(colour.blue() << 16 | colour.green() << 8 | colour.red()));
    return text;
}
}

std::vector<QColor> ColourPicker::ToColours(const std::vector<std::string>& entries)
{
    std::vector<QColor> colours(Slots, QColor(Qt::white));
    for (const std::string& entry : entries)
    {
        // "ColorA=..": the letter names the slot, so a hand-edited file with gaps keeps its order.
        size_t equals = entry.find('=');
        if (equals != 6 || entry.compare(0, 5, "Color") != 0)
            continue;
        int index = entry[5] - 'A';
        if (index >= 0 && index < Slots)
            colours[static_cast<size_t>(index)] = FromStored(entry.substr(equals + 1));
    }
    return colours;
}

std::vector<std::string> ColourPicker::ToEntries(const std::vector<QColor>& colours)
{
    std::vector<std::string> entries;
    for (size_t i = 0; i < colours.size() && i < Slots; ++i)
        entries.push_back(std::string("Color") + static_cast<char>('A' + i) + "=" + ToStored(colours[i]));
    return entries;
}

std::optional<QColor> ColourPicker::Choose(QWidget* parent, const QColor& initial, const QString& title)
{
    std::vector<QColor> colours = ToColours(m_custom);
    for (int i = 0; i < Slots; ++i)
        QColorDialog::setCustomColor(i, colours[static_cast<size_t>(i)]);

    std::optional<QColor> chosen;
    if (answer)
        chosen = answer(initial);
    else
    {
        QColor colour = QColorDialog::getColor(initial, parent, title);
        if (colour.isValid())
            chosen = colour;
    }

    for (int i = 0; i < Slots; ++i)
        colours[static_cast<size_t>(i)] = QColorDialog::customColor(i);
    // Leave a file that never had custom colours alone until a slot holds something.
    bool any = !m_custom.empty();
    for (const QColor& colour : colours)
        any = any || colour != QColor(Qt::white);
    if (any)
        m_custom = ToEntries(colours);
    return chosen;
}
