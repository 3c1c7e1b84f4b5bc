#pragma once
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QWidget>

// Every question and notice of the window goes through one Prompter, so tests answer them.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // True for Yes.
    virtual bool Ask(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void Tell(QWidget* parent, const QString& title, const QString& text) = 0;
    // An existing folder, or empty when the user cancels (as a prompter without a chooser does).
    virtual QString ChooseFolder(QWidget*, const QString&, const QString&) { return {}; }
};

class MessageBoxPrompter : public Prompter
{
public:
    bool Ask(QWidget* parent, const QString& title, const QString& text) override
    {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void Tell(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox::information(parent, title, text);
    }
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) override
    {
        return QFileDialog::getExistingDirectory(parent, title, start);
    }
};
