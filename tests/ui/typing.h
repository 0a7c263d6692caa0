#pragma once
// Typing helper for widget tests: QTest::keyClicks handles ASCII only, so characters of
// other scripts (Persian digits) are sent as key events carrying their text.
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

namespace tarvest::test {

inline void typeText(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, char(c.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace tarvest::test
