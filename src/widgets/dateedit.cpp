#include "widgets/dateedit.h"

#include "common/digits.h"
#include "common/jalali.h"
#include "widgets/dialogs.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace tarvest {

namespace {
// Every position of the date accepts a digit or a blank; the slashes are fixed.
const QString kMask = QStringLiteral("0000/00/00;_");
} // namespace

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent)
{
    setInputMask(kMask);
    setMaxLength(10);
    setLayoutDirection(Qt::LeftToRight); // the date reads year first, as printed
    setDateText(QString());
    // Pasted or input-method text may carry Persian digits past keyPressEvent.
    connect(this, &QLineEdit::textEdited, this, &DateEdit::normalizeTypedDigits);
}

QString DateEdit::dateText() const
{
    QString text = displayText();
    text.replace(u'_', u' ');
    return text;
}

void DateEdit::setDateText(const QString& text)
{
    setText(text.isEmpty() ? kBlankDate : text);
    setModified(false);
    m_acceptedText = dateText();
}

QString DateEdit::invalidDateMessage()
{
    return QStringLiteral("تاريخ وارد شده معتبر نيست؛ تاريخ را به صورت سال/ماه/روز كامل وارد كنيد يا خالي بگذاريد");
}

void DateEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isModified()) {
        setText(m_acceptedText);
        setModified(false);
        event->accept();
        return;
    }
    const QString text = event->text();
    const QString ascii = normalizeDigits(text);
    if (ascii != text) {
        QKeyEvent mapped(event->type(), event->key(), event->modifiers(), ascii, event->isAutoRepeat(),
                         ushort(event->count()));
        QLineEdit::keyPressEvent(&mapped);
        event->setAccepted(mapped.isAccepted());
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DateEdit::normalizeTypedDigits()
{
    const QString shown = displayText();
    const QString ascii = normalizeDigits(shown);
    if (ascii == shown)
        return;
    const int caret = cursorPosition();
    setText(ascii);
    setCursorPosition(caret);
    setModified(true);
}

void DateEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a popup is not leaving the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (!isModified() || m_refusing)
        return;
    const QString text = dateText();
    if (text == kBlankDate || isValidJalaliDateText(text)) {
        setModified(false);
        m_acceptedText = text;
        return;
    }
    refuseLeaving();
}

bool DateEdit::acceptText()
{
    if (m_refusing)
        return false; // leaving was refused a moment ago; its message is on its way
    if (!isModified())
        return true;
    const QString text = dateText();
    if (text == kBlankDate || isValidJalaliDateText(text)) {
        setModified(false);
        m_acceptedText = text;
        return true;
    }
    setFocus(Qt::OtherFocusReason);
    Dialogs::instance().warning(invalidDateMessage());
    return false;
}

bool DateEdit::acceptAll(QWidget* window)
{
    if (!window)
        return true;
    for (DateEdit* date : window->findChildren<DateEdit*>()) {
        if (date->isEnabled() && date->isVisibleTo(window) && !date->acceptText())
            return false;
    }
    return true;
}

void DateEdit::refuseLeaving()
{
    // Focus is taken back after the focus change is complete, then the message is shown;
    // a message box returns the focus to this field when it closes.
    m_refusing = true;
    QTimer::singleShot(0, this, [this] {
        setFocus(Qt::OtherFocusReason);
        Dialogs::instance().warning(invalidDateMessage());
        m_refusing = false;
    });
}

} // namespace tarvest
