#pragma once
// Digit handling shared by the numeric fields, the date field and the reports:
// other-script digits, thousands grouping, cleaning of amount and quantity texts.
#include <QString>
#include <QStringView>

namespace tarvest {

// Maps Persian (U+06F0..U+06F9) and Arabic-Indic (U+0660..U+0669) digits to ASCII 0-9;
// every other character is left as it is.
QString normalizeDigits(QString text);

// Inserts "," every three digits from the right: "1250000" -> "1,250,000".
// Expects ASCII digits only; three digits or fewer come back unchanged.
QString groupDigits(QStringView digits);

// Rounds a decimal text to whole units, half to even, exactly on the digits (no binary
// floating point, any length). Only ASCII digits and the first "." count; every other
// character (commas, blanks, signs, letters) is ignored. Returns the digits of the whole
// number, "" when the text has no digit. "1,250,000.5" -> "1250000", "1500.75" -> "1501".
QString roundDecimalTextToWhole(QStringView text);

// The cleaned text of an amount field in whole rials: its digits (other-script digits
// count as digits) grouped in threes; every other character, points and separators
// included, is dropped. No digit gives "".
// "1.250.000" -> "1,250,000", "-1500.75" -> "150,075", "9876543" -> "9,876,543".
QString cleanAmountText(QStringView text);

// The whole rials held by an amount text: its digits read as a 64-bit number.
// No digit gives 0; a number beyond the 64-bit range throws tarvest::Error.
qint64 parseWholeRials(QStringView text);

// The cleaned text of a quantity field: digits (other scripts mapped to ASCII) and the
// first decimal point ("." or the Persian separator U+066B); everything else dropped.
// "12.5m2" -> "12.52", "1.2.3" -> "1.23". (A typed second point is refused by the
// field before it gets here.)

// Whether a typed quantity text holds more than one decimal point ("." or U+066B).
bool hasSecondDecimalPoint(QStringView text);
QString cleanQuantityText(QStringView text);

// The value of a quantity text: "" gives 0; a text that is not a decimal number
// with "." as separator (for example "." alone) throws tarvest::Error.
double parseQuantity(QStringView text);

} // namespace tarvest
