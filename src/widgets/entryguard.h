#pragma once
// What every entry screen shares so that a clerk's typing is never lost or saved by
// accident:
// - Enter never saves. No button of the screen is a default button; Enter in a field
//   that is not in the screen's Enter chain moves the focus to the next field in the
//   screen's reading (tab) order, and Enter on a button does nothing. Saving stays on
//   the save button and its shortcut (Ctrl+S), which clicks the save button shown.
// - Closing asks. The guard keeps the values of the screen's fields as they were loaded
//   or last saved; closing the screen (its close box, Alt+F4, its own close command)
//   while they differ asks "save / discard / stay". Save clicks the save button shown
//   and closes only when that save went through; discard closes; stay keeps the screen
//   and every value in it. Leaving the program asks the same for every entry screen
//   shown (`confirmCloseAll`).
//
// The screen tells the guard when its fields hold stored work: `markLoaded()` at the end
// of each preparation (new or edit), `markSaved()` after each save that went through. A
// screen prepared before it shows may still fill fields as it shows (lists refilled,
// settings read): those values count as loaded too.
// Later additions of the screens' shared behaviour belong here too: a reload that
// refills the fields goes through `reload()` (the screen's loader, then `markLoaded`),
// and every save passes `markSaved()`, whose `saved()` signal a status line can follow.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QAbstractButton;
class QDialog;
class QWidget;

namespace tarvest {

class EntryGuard : public QObject {
    Q_OBJECT
public:
    // Attaches to an entry screen (the guard belongs to it). `saveButtons` are the
    // screen's save buttons ("ثبت", "ويرايش"): the shown and enabled one saves.
    // `fields` are the inputs holding the screen's work; empty: every input of the screen
    // (text fields, lists, check boxes, multi-line texts, check lists).
    EntryGuard(QDialog* screen, QList<QAbstractButton*> saveButtons, QList<QWidget*> fields = {});
    ~EntryGuard() override;

    // The guard of a screen, or nullptr.
    static EntryGuard* of(const QWidget* screen);

    // The fields as they stand are stored work (after a preparation / after a save).
    void markLoaded();
    void markSaved();
    // Refills the fields with the screen's loader, then takes them as loaded. The
    // loader returns false when it could not load (nothing is marked then).
    void setReloader(std::function<bool()> loader);
    bool reload();

    // Whether a field differs from what was loaded or saved, and which (objectNames).
    bool hasUnsavedWork() const;
    QStringList changedFields() const;

    // Asks "save / discard / stay" when there is unsaved work; true when the screen may
    // close (nothing to lose, saved, or discarded).
    bool confirmClose();
    // Asks for every shown entry screen with unsaved work, the one on top first; false
    // as soon as the user chooses to stay in one (that screen is raised).
    static bool confirmCloseAll();

    // Clicks the shown, enabled save button; false when there is none.
    bool save();

    // The question's text (a Yes/No/Cancel question: save / discard / stay).
    static QString question();

signals:
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QWidget*> fields() const;
    QList<QVariant> values() const;
    void neutraliseDefaultButtons();
    void moveOnFrom(QWidget* from);

    QDialog* m_screen;
    QList<QPointer<QAbstractButton>> m_saveButtons;
    QList<QPointer<QWidget>> m_fields; // fixed list; empty: every input of the screen
    QList<QVariant> m_stored;
    QList<QPointer<QWidget>> m_storedFields;
    std::function<bool()> m_reloader;
    bool m_markOnShow = false;
};

// The value of an input field as the guard compares it (its text, its tick, its items'
// ticks); an invalid QVariant for a widget that is no input.
QVariant entryFieldValue(const QWidget* field);

} // namespace tarvest
