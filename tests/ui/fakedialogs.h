#pragma once
// Dialogs for widget tests: records every text shown, answers questions, input boxes
// and file choosers from queues, never blocks. Installed for the lifetime of the object.
#include "widgets/dialogs.h"

#include <QQueue>
#include <QStringList>

namespace tarvest::test {

class FakeDialogs final : public Dialogs {
public:
    FakeDialogs() { Dialogs::install(this); }
    ~FakeDialogs() override { Dialogs::install(nullptr); }

    void message(const QString& text) override { shown << text; }
    void warning(const QString& text) override { shown << text; }
    void error(const QString& text) override
    {
        shown << text;
        errors << text;
    }
    Answer question(const QString& text) override
    {
        asked << text;
        return answers.isEmpty() ? Answer::Cancel : answers.dequeue();
    }
    QString input(const QString& caption, const QString& prompt, const QString& defaultText, bool secret) override
    {
        asked << caption + " | " + prompt;
        if (secret)
            masked << caption + " | " + prompt;
        return inputs.isEmpty() ? defaultText : inputs.dequeue();
    }
    QString openFileName(const QString&, const QString&) override
    {
        return files.isEmpty() ? QString() : files.dequeue();
    }
    QString saveFileName(const QString&, const QString& suggested, const QString&) override
    {
        suggestedNames << suggested;
        return files.isEmpty() ? QString() : files.dequeue();
    }
    QString folder(const QString&) override { return files.isEmpty() ? QString() : files.dequeue(); }
    bool openWithSystem(const QString& path) override
    {
        opened << path;
        return canOpen;
    }
    bool canOpen = true; // whether the desktop has a program for the file

    QStringList shown;          // every message, warning and error, in order
    QStringList errors;         // the error boxes alone
    QStringList asked;          // questions and input boxes
    QStringList masked;         // the input boxes that hide what is typed
    QStringList suggestedNames; // names offered by save dialogs
    QStringList opened;         // files opened with the desktop's program
    QQueue<Answer> answers;     // answers to questions (Cancel when empty)
    QQueue<QString> inputs;     // answers to input boxes (the default when empty)
    QQueue<QString> files;      // answers to file and folder choosers (cancel when empty)
};

} // namespace tarvest::test
