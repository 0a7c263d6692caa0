#pragma once
// The date field of every screen that edits or filters by date: a masked line edit
// holding Jalali date text "YYYY/MM/DD", blanks shown as underscores.
#include <QLineEdit>

namespace tarvest {

class DateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DateEdit(QWidget* parent = nullptr);

    // The ten-character text, blanks as spaces: "    /  /  " when empty.
    QString dateText() const;
    // Sets the text as given (not checked); an empty string gives the blank date.
    void setDateText(const QString& text);

    // The message shown when an edited field is left with neither a blank nor a
    // complete, real Jalali date.
    static QString invalidDateMessage();

    // Checks the text before an action reads it: an edited field holding neither a
    // blank nor a real date shows the date message, takes the focus and gives false.
    bool acceptText();
    // acceptText for every shown date field of a window, in order; false at the first
    // refused one.
    static bool acceptAll(QWidget* window);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void normalizeTypedDigits();
    void refuseLeaving();

    QString m_acceptedText; // the text before the user's current edit (Escape returns to it)
    bool m_refusing = false;
};

} // namespace tarvest
