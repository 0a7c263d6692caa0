#pragma once
// Jalali (Persian solar) calendar: every date the system shows, stores, prints or
// compares is a Jalali date written as ten-character text, "1403/01/05".
#include <QString>
#include <QtGlobal>

namespace tarvest {

struct JalaliDate {
    quint16 gy, gm, gd; // Gregorian year, month, day
    quint16 jy, jm, jd; // Jalali year, month, day
};

// The date text of a date that has not been entered: four blanks, slash, two blanks,
// slash, two blanks. Screens compare stored dates with it to find a missing date.
inline const QString kBlankDate = QStringLiteral("    /  /  ");

// Whether Jalali year jy has 366 days (month 12 then has 30 days).
bool isJalaliLeapYear(int jy);
// Days in month jm (1..12) of Jalali year jy; 0 for a month outside 1..12.
int jalaliMonthLength(int jy, int jm);

// The Jalali date of a Gregorian (proleptic) date; all six fields are filled.
JalaliDate GregorianToJalali(int gy, int gm, int gd);

// "1403/01/05": the decimal year (at most four characters), month and day zero-padded.
QString FormatJalali(int jy, int jm, int jd);

// The date text of Clock::today().
QString TodayJalali();

// Whether text is exactly "YYYY/MM/DD" (ASCII digits) naming a real Jalali day:
// month 1..12 and day within that month of that year.
bool isValidJalaliDateText(const QString& text);

} // namespace tarvest
