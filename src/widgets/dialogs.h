#pragma once
// The one way screens talk to the user through message boxes. Production shows Qt
// dialogs; tests install a fake that records what was shown and never blocks.
#include <QString>

namespace tarvest {

class Dialogs {
public:
    virtual ~Dialogs();

    // An information message with an OK button.
    virtual void message(const QString& text) = 0;
    // A warning (an input refused, an action that could not be done).
    virtual void warning(const QString& text) = 0;
    // Opens a file with the desktop's default program for its kind; false when none
    // could be started.
    virtual bool openWithSystem(const QString& path) = 0;

    // The dialogs in use: the installed ones, or the Qt message boxes.
    static Dialogs& instance();
    // Installs dialogs (not owned; nullptr returns to the Qt message boxes).
    static void install(Dialogs* dialogs);
};

} // namespace tarvest
