#pragma once
#include <QString>

#include <string>

// The core's texts are UTF-8.
inline QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}
