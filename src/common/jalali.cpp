#include "common/jalali.h"

#include "common/clock.h"

#include <QDate>

namespace tarvest {

// Leap years follow the 33-year arithmetic of the official Iranian calendar: a year is
// leap when ((jy - 1209) mod 33 - 1) mod 4 == 0 (non-negative mod), which agrees with the
// official list for 1210 to 1633 (for example 1399, 1403, 1408 and 1412 are leap, 1407 is
// not). Outside that span the same rule is carried on, as no official list exists there.
// New year's day is fixed by an anchor (1 Farvardin 1403 = 2024-03-20) and every other
// year's start is found by counting year lengths from it.

namespace {

constexpr int kCycleBase = 1209; // year 1209 starts a 33-year cycle of the rule above
constexpr int kAnchorYear = 1403;
const qint64 kAnchorJulianDay = QDate(2024, 3, 20).toJulianDay();

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
qint64 floorMod(qint64 a, qint64 b)
{
    return a - b * floorDiv(a, b);
}

// Number of leap years y with kCycleBase <= y < jy (negative when jy is earlier).
qint64 leapYearsSinceBase(qint64 jy)
{
    const qint64 n = jy - kCycleBase;
    const qint64 cycles = floorDiv(n, 33);
    const qint64 rest = floorMod(n, 33); // leap offsets in a cycle are 1, 5, ..., 29
    return 8 * cycles + (rest + 2) / 4;
}

// Julian day of 1 Farvardin of year jy.
qint64 newYearJulianDay(qint64 jy)
{
    const qint64 days = 365 * (jy - kAnchorYear) + leapYearsSinceBase(jy) - leapYearsSinceBase(kAnchorYear);
    return kAnchorJulianDay + days;
}

} // namespace

bool isJalaliLeapYear(int jy)
{
    return floorMod(floorMod(jy - kCycleBase, 33) - 1, 4) == 0;
}

int jalaliMonthLength(int jy, int jm)
{
    if (jm < 1 || jm > 12)
        return 0;
    if (jm <= 6)
        return 31;
    if (jm <= 11)
        return 30;
    return isJalaliLeapYear(jy) ? 30 : 29;
}

JalaliDate GregorianToJalali(int gy, int gm, int gd)
{
    const qint64 jdn = QDate(gy, gm, gd).toJulianDay();
    qint64 jy = gy - 621;
    while (jdn < newYearJulianDay(jy))
        --jy;
    while (jdn >= newYearJulianDay(jy + 1))
        ++jy;
    const qint64 dayOfYear = jdn - newYearJulianDay(jy); // 0-based
    int jm, jd;
    if (dayOfYear < 186) {
        jm = int(dayOfYear / 31) + 1;
        jd = int(dayOfYear % 31) + 1;
    } else {
        jm = int((dayOfYear - 186) / 30) + 7;
        jd = int((dayOfYear - 186) % 30) + 1;
    }
    return JalaliDate{quint16(gy), quint16(gm), quint16(gd), quint16(jy), quint16(jm), quint16(jd)};
}

QString FormatJalali(int jy, int jm, int jd)
{
    return QStringLiteral("%1/%2/%3")
        .arg(QString::number(jy).left(4))
        .arg(jm, 2, 10, QLatin1Char('0'))
        .arg(jd, 2, 10, QLatin1Char('0'));
}

QString TodayJalali()
{
    const QDate today = Clock::today();
    const JalaliDate j = GregorianToJalali(today.year(), today.month(), today.day());
    return FormatJalali(j.jy, j.jm, j.jd);
}

bool isValidJalaliDateText(const QString& text)
{
    if (text.size() != 10 || text[4] != u'/' || text[7] != u'/')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    const int jy = text.left(4).toInt();
    const int jm = text.mid(5, 2).toInt();
    const int jd = text.mid(8, 2).toInt();
    return jy >= 1 && jd >= 1 && jd <= jalaliMonthLength(jy, jm);
}

} // namespace tarvest
