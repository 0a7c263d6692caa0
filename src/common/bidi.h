#pragma once
// Texts of numbers, dates, times and Latin words inside a right-to-left window or form
// are isolated as left-to-right runs, so "2024-04-05 11:47:09" or "192.168.1.10" read
// as written instead of being reordered around the Persian text.
#include <QString>

namespace tarvest {

// True when the text holds a letter of a right-to-left script (Persian, Arabic, Hebrew).
bool hasRightToLeftLetters(QStringView text);

// The text wrapped as a left-to-right isolate when it holds no right-to-left letter;
// otherwise the text as it is.
QString isolateLeftToRight(const QString& text);

} // namespace tarvest
