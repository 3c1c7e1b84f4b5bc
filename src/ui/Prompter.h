#pragma once
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
};
