#pragma once
#include <QColor>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

// The one colour dialog of the program. Its sixteen custom colours travel with the
// configuration as "ColorA=00RRGGBB"-style entries in the stored colour order (blue in the
// high byte), so a colour picked in one editor is offered in every other one.
class ColourPicker
{
public:
    explicit ColourPicker(std::vector<std::string>& customColours) : m_custom(customColours) {}

    // Empty when the user cancels. The dialog's custom colours are read from and written
    // back to the configuration entries either way.
    std::optional<QColor> Choose(QWidget* parent, const QColor& initial, const QString& title = QString());

    // Tests answer the dialog here instead of a real QColorDialog.
    std::function<std::optional<QColor>(const QColor& initial)> answer;

    // The entries as QColorDialog's custom colours and back; exposed for tests.
    static std::vector<QColor> ToColours(const std::vector<std::string>& entries);
    static std::vector<std::string> ToEntries(const std::vector<QColor>& colours);

private:
    std::vector<std::string>& m_custom;
};
