// Jalali calendar: conversion against the official leap years, the date text form,
// and the validity check the date field relies on.
#include "common/clock.h"
#include "common/jalali.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace tarvest;

namespace {

QString convert(const QDate& g)
{
    const JalaliDate j = GregorianToJalali(g.year(), g.month(), g.day());
    return FormatJalali(j.jy, j.jm, j.jd);
}

struct ConversionCase {
    const char* gregorian;
    const char* jalali;
};

// Expected texts computed independently (a day-by-day walk from 1403/01/01 over the
// official leap-year list). The first block holds in every calendar variant in use; the
// second covers 1407..1409, where a plain four-year rule would be a day off, and dates
// across Gregorian century years that are not leap.
const ConversionCase kConversions[] = {
    {"2024-03-19", "1402/12/29"}, {"2024-03-20", "1403/01/01"}, {"2024-12-31", "1403/10/11"},
    {"2025-03-20", "1403/12/30"}, {"2025-03-21", "1404/01/01"}, {"2023-01-01", "1401/10/11"},
    {"2021-03-20", "1399/12/30"}, {"2021-03-21", "1400/01/01"}, {"2020-03-20", "1399/01/01"},
    {"2026-03-20", "1404/12/29"}, {"2000-02-29", "1378/12/10"}, {"1979-02-11", "1357/11/22"},

    {"2028-03-20", "1407/01/01"}, {"2029-03-19", "1407/12/29"}, {"2029-03-20", "1408/01/01"},
    {"2029-03-21", "1408/01/02"}, {"2029-09-22", "1408/07/01"}, {"2030-03-20", "1408/12/30"},
    {"2030-03-21", "1409/01/01"}, {"2033-03-20", "1412/01/01"}, {"2034-03-20", "1412/12/30"},
    {"2100-03-01", "1478/12/11"}, {"1900-03-01", "1278/12/10"}, {"1800-03-21", "1179/01/01"},
    {"2200-03-21", "1579/01/01"},
};

} // namespace

TEST(Jalali, ConvertsKnownDates)
{
    for (const auto& c : kConversions) {
        const QDate g = QDate::fromString(QString::fromLatin1(c.gregorian), Qt::ISODate);
        ASSERT_TRUE(g.isValid()) << c.gregorian;
        EXPECT_EQ(convert(g), QString::fromLatin1(c.jalali)) << c.gregorian;
    }
}

TEST(Jalali, FillsBothHalvesOfTheRecord)
{
    const JalaliDate j = GregorianToJalali(2029, 3, 20);
    EXPECT_EQ(j.gy, 2029);
    EXPECT_EQ(j.gm, 3);
    EXPECT_EQ(j.gd, 20);
    EXPECT_EQ(j.jy, 1408);
    EXPECT_EQ(j.jm, 1);
    EXPECT_EQ(j.jd, 1);
}

TEST(Jalali, LeapYearsFollowTheOfficialList)
{
    // Official leap years 1370..1420.
    const QList<int> official = {1370, 1375, 1379, 1383, 1387, 1391, 1395, 1399, 1403, 1408, 1412, 1416, 1420};
    for (int jy = 1370; jy <= 1420; ++jy)
        EXPECT_EQ(isJalaliLeapYear(jy), official.contains(jy)) << jy;
    // The rule keeps its 33-year period across the whole supported span and beyond.
    for (int jy = 1100; jy <= 1700; ++jy)
        EXPECT_EQ(isJalaliLeapYear(jy), isJalaliLeapYear(jy + 33)) << jy;
}

// Walking every Gregorian day from 1821 to 2121 (Jalali 1199..1500) must step the Jalali date by exactly one
// day, with month lengths 31 x 6, 30 x 5 and 29/30 as the leap rule says.
TEST(Jalali, EveryDayFollowsThePreviousDay)
{
    const QDate first(1821, 3, 1);
    const QDate last(2121, 3, 31);
    JalaliDate prev = GregorianToJalali(first.year(), first.month(), first.day());
    int newYears = 0;
    for (QDate g = first.addDays(1); g <= last; g = g.addDays(1)) {
        const JalaliDate j = GregorianToJalali(g.year(), g.month(), g.day());
        ASSERT_EQ(j.gy, g.year());
        ASSERT_EQ(j.gd, g.day());
        int ey = prev.jy, em = prev.jm, ed = prev.jd + 1;
        if (ed > jalaliMonthLength(ey, em)) {
            ed = 1;
            if (++em > 12) {
                em = 1;
                ++ey;
                ++newYears;
            }
        }
        ASSERT_EQ(FormatJalali(j.jy, j.jm, j.jd), FormatJalali(ey, em, ed)) << g.toString(Qt::ISODate).toStdString();
        prev = j;
    }
    EXPECT_EQ(newYears, 301); // 1 Farvardin of 1200 .. 1500
}

TEST(Jalali, MonthLengths)
{
    for (int jm = 1; jm <= 6; ++jm)
        EXPECT_EQ(jalaliMonthLength(1404, jm), 31);
    for (int jm = 7; jm <= 11; ++jm)
        EXPECT_EQ(jalaliMonthLength(1404, jm), 30);
    EXPECT_EQ(jalaliMonthLength(1404, 12), 29);
    EXPECT_EQ(jalaliMonthLength(1403, 12), 30);
    EXPECT_EQ(jalaliMonthLength(1407, 12), 29);
    EXPECT_EQ(jalaliMonthLength(1408, 12), 30);
    EXPECT_EQ(jalaliMonthLength(1403, 0), 0);
    EXPECT_EQ(jalaliMonthLength(1403, 13), 0);
}

TEST(Jalali, FormatsTheTenCharacterText)
{
    EXPECT_EQ(FormatJalali(1403, 1, 5), QStringLiteral("1403/01/05"));
    EXPECT_EQ(FormatJalali(1399, 12, 30), QStringLiteral("1399/12/30"));
    EXPECT_EQ(FormatJalali(1403, 10, 11), QStringLiteral("1403/10/11"));
    EXPECT_EQ(FormatJalali(14035, 1, 1), QStringLiteral("1403/01/01")); // year cut to four
    EXPECT_EQ(kBlankDate, QStringLiteral("    /  /  "));
    EXPECT_EQ(kBlankDate.size(), 10);
}

TEST(Jalali, TodayComesFromTheClock)
{
    Clock::setFixed(QDateTime(QDate(2029, 3, 20), QTime(23, 59, 59)));
    EXPECT_EQ(TodayJalali(), QStringLiteral("1408/01/01"));
    Clock::setFixed(QDateTime(QDate(2025, 3, 21), QTime(0, 0)));
    EXPECT_EQ(TodayJalali(), QStringLiteral("1404/01/01"));
    EXPECT_EQ(Clock::timeOfDay(), QTime(0, 0));
    Clock::setFixed(std::nullopt);
    EXPECT_EQ(Clock::today(), QDate::currentDate());
}

TEST(Jalali, ValidDateText)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"1403/01/01", true},  {"1403/12/30", true},  {"1408/12/30", true},   {"1404/06/31", true},
        {"1407/12/30", false}, {"1404/12/30", false}, {"1404/07/31", false},  {"1403/13/40", false},
        {"1403/00/10", false}, {"1403/01/00", false}, {"1392/  /05", false},  {"    /  /  ", false},
        {"1403/1/05", false},  {"1403-01-05", false}, {"1403/01/051", false}, {"", false},
        {"0000/01/01", false}, {"14O3/01/05", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidJalaliDateText(QString::fromLatin1(c.text)), c.valid) << c.text;
}
