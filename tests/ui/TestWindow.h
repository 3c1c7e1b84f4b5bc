#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <deque>

#include "ui/Prompter.h"

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

// Records every notice and question as "title: text"; questions take the queued answers,
// then No; folder choices the queued folders, then cancel.
class ScriptedPrompter : public Prompter
{
public:
    bool Ask(QWidget*, const QString& title, const QString& text) override
    {
        Told.append(title + ": " + text);
        const bool yes = !Answers.empty() && Answers.front();
        if (!Answers.empty())
            Answers.pop_front();
        return yes;
    }
    void Tell(QWidget*, const QString& title, const QString& text) override { Told.append(title + ": " + text); }
    QString ChooseFolder(QWidget*, const QString& title, const QString&) override
    {
        Told.append(title);
        if (Folders.empty())
            return {};
        const QString folder = Folders.front();
        Folders.pop_front();
        return folder;
    }

    std::deque<bool> Answers;
    std::deque<QString> Folders;
    QStringList Told;
};
