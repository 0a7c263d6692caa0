#pragma once
// The one way screens talk to the user through message boxes, questions, input boxes
// and file choosers. Production shows Qt dialogs; tests install a fake that answers
// from a queue, records what was shown and never blocks.
#include <QString>

namespace tarvest {

class Dialogs {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Dialogs();

    // An information message with an OK button.
    virtual void message(const QString& text) = 0;
    // A warning (an input refused, an action that could not be done).
    virtual void warning(const QString& text) = 0;
    // An error the screen did not expect (a failed query): the error box.
    virtual void error(const QString& text) = 0;
    // A confirmation in a warning box with Yes, No and Cancel; only Yes acts.
    virtual Answer question(const QString& text) = 0;
    // An input box: OK returns the typed text, Cancel returns the default text.
    virtual QString input(const QString& caption, const QString& prompt, const QString& defaultText,
                          bool secret = false) = 0;
    // File choosers; an empty text when the user cancels.
    virtual QString openFileName(const QString& caption, const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& suggestedName, const QString& filter) = 0;
    virtual QString folder(const QString& caption) = 0;
    // Opens a file with the desktop's default program for its kind; false when none
    // could be started.
    virtual bool openWithSystem(const QString& path) = 0;

    // The dialogs in use: the installed ones, or the Qt dialogs.
    static Dialogs& instance();
    // Installs dialogs (not owned; nullptr returns to the Qt dialogs).
    static void install(Dialogs* dialogs);
};

} // namespace tarvest
