#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

#include "view/WindowRules.h"

// A window's command line over a test's own data folder, whose configuration file starts
// out holding ini.
inline CommandLine TestCommandLine(const QString& folder, const QByteArray& ini)
{
    const std::string data = folder.toStdString() + "/";
    QFile file(QString::fromStdString(data + "Zembrant.ini"));
    if (file.open(QIODevice::WriteOnly))
        file.write(ini);
    return {.DataFolder = data, .ConfigFile = data + "Zembrant.ini", .DecodeClicks = 0, .DefaultDataFolder = false};
}
