// Valuation of a case: exact decimals, number texts, net area, property value, owner's
// share by value band and area factor, fee with discount, and the calculator.
#include "cases/core/valuation.h"
#include "common/decimal.h"
#include "common/errors.h"

#include <gtest/gtest.h>

using namespace tarvest;
using namespace tarvest::valuation;

namespace {
QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}
Decimal d(const char16_t* s)
{
    return *Decimal::parse(q(s));
}
} // namespace

TEST(Decimal, ReadsOnlyPlainDecimalNumbers)
{
    const struct {
        const char16_t* in;
        const char16_t* shown;
    } valid[] = {
        {u"250", u"250"},
        {u" 12.5 ", u"12.5"},
        {u"-3", u"-3"},
        {u"+3", u"3"},
        {u".5", u"0.5"},
        {u"5.", u"5"},
        {u"250.0", u"250"},
        {u"1e3", u"1000"},
        {u"1.5E-2", u"0.015"},
        {u"-0", u"0"},
        // Finer than twelve fraction digits: rounded half to even.
        {u"0.0000000000005", u"0"},
        {u"0.0000000000015", u"0.000000000002"},
        // Typed with a Persian keyboard: Persian and Arabic-Indic digits, Persian point.
        {u"۳۰۰", u"300"},
        {u"١٠٠٠٠٠٠", u"1000000"},
        {u"۱۲٫۵", u"12.5"},
        {u"۱۲.۵", u"12.5"},
    };
    for (const auto& c : valid) {
        const auto v = toNumber(q(c.in));
        ASSERT_TRUE(v) << q(c.in).toStdString();
        EXPECT_EQ(toText(*v), q(c.shown)) << q(c.in).toStdString();
    }
    const char16_t* invalid[] = {u"",    u"  ",    u"abc",  u"1,000", u"فقط هزينه كارشناسي",
                                 u".",   u"1.2.3", u"۱۲a",  u"1e",    u"12abc",
                                 u"--1", u"1e99",  u"۱٫۲٫۳"};
    for (const char16_t* in : invalid)
        EXPECT_FALSE(toNumber(q(in))) << q(in).toStdString();
}

TEST(Decimal, WritesTheShortestFormWithFifteenSignificantDigits)
{
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"250.000", u"250"},
        {u"-0.5", u"-0.5"},
        {u"1234567890.12345678", u"1234567890.12346"},
        {u"0.000012345678901", u"0.000012345679"},
        {u"99999999999999.99", u"100000000000000"},
        {u"0.1234567890125", u"0.123456789012"},          // twelve fraction digits kept, tie to even
        {u"1234567890123456789", u"1234567890123456789"}, // whole rials are never cut
    };
    for (const auto& c : cases)
        EXPECT_EQ(toText(d(c.in)), q(c.out)) << q(c.in).toStdString();
}

TEST(Decimal, ArithmeticIsExactAndRoundsHalfToEven)
{
    // No binary floating point: 0.1 + 0.2 is 0.3, 0.1 × 3 is 0.3.
    EXPECT_EQ(d(u"0.1") + d(u"0.2"), d(u"0.3"));
    EXPECT_EQ(d(u"0.1") * Decimal::fromInteger(3), d(u"0.3"));
    // Large products stay exact.
    EXPECT_EQ(d(u"123456789012.34") * d(u"1000000.07"), d(u"123456797654315230.8638"));
    EXPECT_EQ(d(u"-2.5") * d(u"4"), d(u"-10"));

    const struct {
        const char16_t* in;
        const char16_t* nearest;
        const char16_t* down;
        const char16_t* up;
    } rounding[] = {
        {u"2.5", u"2", u"2", u"3"},  {u"3.5", u"4", u"3", u"4"}, {u"-2.5", u"-2", u"-3", u"-2"},
        {u"2.51", u"3", u"2", u"3"}, {u"7", u"7", u"7", u"7"},   {u"-0.4", u"0", u"-1", u"0"},
    };
    for (const auto& c : rounding) {
        EXPECT_EQ(d(c.in).roundedHalfEven(0), d(c.nearest)) << q(c.in).toStdString();
        EXPECT_EQ(d(c.in).floor(), d(c.down)) << q(c.in).toStdString();
        EXPECT_EQ(d(c.in).ceil(), d(c.up)) << q(c.in).toStdString();
    }
    EXPECT_EQ(currency(d(u"0.00725")), d(u"0.0072"));
    EXPECT_EQ(currency(d(u"0.00675")), d(u"0.0068"));
    EXPECT_EQ(Decimal::divide(d(u"0.0003"), Decimal::fromInteger(2), 4), d(u"0.0002"));
    EXPECT_EQ(Decimal::divide(d(u"-1"), Decimal::fromInteger(3), 4), d(u"-0.3333"));
    EXPECT_THROW(Decimal::divide(d(u"1"), Decimal(), 4), Error);
    EXPECT_THROW(d(u"100000000000000000000000000") * d(u"100000000000000000000000000"), Error);
}

TEST(Valuation, NetAreaPropertyValueAndDiscount)
{
    const struct {
        const char16_t* metraj;
        const char16_t* destroyed;
        const char16_t* net;
    } net[] = {
        {u"500", u"100", u"300"}, {u"500", u"0", u"500"}, {u"199.99", u"0", u"199.99"},
        {u"100", u"60", u"-20"},  {u"500", u"", u"0"},    {u"abc", u"1", u"0"},
    };
    for (const auto& c : net)
        EXPECT_EQ(netAreaText(q(c.metraj), q(c.destroyed)), q(c.net)) << q(c.metraj).toStdString();

    const struct {
        const char16_t* area;
        const char16_t* price;
        const char16_t* value;
    } value[] = {
        {u"300", u"1000000", u"300000000"}, {u"250.5", u"1000001", u"250500250.5"},
        {u"0.1", u"0.2", u"0.02"},          {u"", u"5", u"0"},
        {u"300", u"1,000,000", u"0"},
    };
    for (const auto& c : value)
        EXPECT_EQ(propertyValueText(q(c.area), q(c.price)), q(c.value)) << q(c.area).toStdString();

    EXPECT_EQ(discountText(u"دو معلول"), q(u"100"));
    EXPECT_EQ(discountText(u""), q(u"0"));
    EXPECT_EQ(discountText(u"بهزيستي"), q(u"0"));
}

TEST(Valuation, OwnerShareByValueBandAndAreaFactor)
{
    const struct {
        const char16_t* area;
        const char16_t* value;
        const char16_t* share;
        bool reminder;
    } cases[] = {
        // The worked example: B = 21,000,000, times 1.35.
        {u"300", u"300000000", u"28350000", false},
        // Value bands, both sides of each edge (area 3000 keeps the base share).
        {u"300", u"30000000", u"فقط هزينه كارشناسي", false},
        {u"300", u"29999999.99", u"فقط هزينه كارشناسي", false},
        {u"3000", u"30000010", u"1", true},
        {u"3000", u"30000001", u"0.1", true},
        {u"3000", u"100000000", u"7000000", true},
        {u"3000", u"100000001", u"7000000.07", true},
        {u"3000", u"500000000", u"35000000", true},
        {u"3000", u"500000001", u"35000000.05", true},
        {u"3000", u"1000000000", u"60000000", true},
        {u"3000", u"1000000001", u"60000000.04", true},
        // Area factors at the band edges on B = 7,000,000.
        {u"0", u"100000000", u"9100000", false},
        {u"199.99", u"100000000", u"9100000", false},
        {u"200", u"100000000", u"9450000", false},
        {u"1500", u"100000000", u"14000000", false},
        {u"2999", u"100000000", u"17500000", false},
        {u"2999.99", u"100000000", u"17500000", false},
        {u"4500", u"100000000", u"7000000", true},
        // Currency rounding of the factored share: ties to even.
        {u"300", u"30000000.05", u"0.0068", false},
        {u"600", u"30000000.05", u"0.0072", false},
        // A net area that is no number: the base share stays, no reminder.
        {u"abc", u"300000000", u"21000000", false},
    };
    for (const auto& c : cases) {
        const ShareOutcome out = ownerShare({q(c.area), q(u"1"), q(c.value), q(u"old")});
        EXPECT_EQ(out.fields.malek_pardakhti, q(c.share)) << q(c.area).toStdString() << " " << q(c.value).toStdString();
        EXPECT_EQ(out.largeAreaReminder, c.reminder) << q(c.area).toStdString();
    }
}

TEST(Valuation, OwnerShareFillsEmptyFieldsAndCutsTheValue)
{
    const struct {
        const char16_t* value;
        const char16_t* written;
    } cut[] = {
        {u"12345.678", u"12345.67"}, {u"12345.5", u"12345.5"},      {u"12345.0", u"12345"},
        {u"12345.999", u"12345.99"}, {u"-12345.678", u"-12345.67"}, {u"", u"0"},
    };
    for (const auto& c : cut) {
        const ShareOutcome out = ownerShare({q(u"300"), q(u""), q(c.value), q(u"")});
        EXPECT_EQ(out.fields.melk_arzesh, q(c.written)) << q(c.value).toStdString();
        EXPECT_EQ(out.fields.price_metr, q(u"0"));
        EXPECT_EQ(out.fields.malek_pardakhti, kOnlyExpertFee);
    }
    // Empty area: "0", factor 1.3.
    const ShareOutcome empty = ownerShare({q(u""), q(u""), q(u"300000000.456"), q(u"")});
    EXPECT_EQ(empty.fields.masahat_khales, q(u"0"));
    EXPECT_EQ(empty.fields.melk_arzesh, q(u"300000000.45"));
    EXPECT_EQ(empty.fields.malek_pardakhti, q(u"27300000.041")); // 21000000.0315 × 1.3, to 0.0001
    // A value that is no number ends the reaction; the share keeps its text.
    const ShareOutcome bad = ownerShare({q(u"3500"), q(u"1"), q(u"abc"), q(u"old")});
    EXPECT_EQ(bad.fields.melk_arzesh, q(u"abc"));
    EXPECT_EQ(bad.fields.malek_pardakhti, q(u"old"));
    EXPECT_TRUE(bad.largeAreaReminder);
}

TEST(Valuation, PersianDigitsValueLikeLatinOnes)
{
    // A case typed entirely with Persian digits: 300 m², 1,000,000 rials per m².
    const QString net = netAreaText(q(u"۳۰۰"), q(u"۰"));
    EXPECT_EQ(net, "300");
    const QString value = propertyValueText(net, q(u"۱۰۰۰۰۰۰"));
    EXPECT_EQ(value, "300000000");
    const ShareOutcome share = ownerShare({net, q(u"۱۰۰۰۰۰۰"), value, {}});
    EXPECT_EQ(share.fields.malek_pardakhti, ownerShare({"300", "1000000", "300000000", {}}).fields.malek_pardakhti);
    EXPECT_NE(feeText(share.fields.malek_pardakhti, q(u"۰")), "0");
    EXPECT_EQ(feeText(q(u"۱۰۰۰"), q(u"۱۰")), "450");
}

TEST(Valuation, FeeIsHalfTheShareLessTheDiscount)
{
    const struct {
        const char16_t* share;
        const char16_t* discount;
        const char16_t* fee;
    } cases[] = {
        {u"28350000", u"0", u"14175000"}, {u"28350000", u"50", u"7087500"}, {u"28350000", u"100", u"0"},
        {u"28350000", u"", u"0"},         {u"28350000", u"abc", u"0"},      {u"فقط هزينه كارشناسي", u"0", u"0"},
        {u"1", u"10", u"0.45"},           {u"0.0003", u"0", u"0.0002"}, // half 0.00015, tie to even
        {u"0.0001", u"50", u"0"},         {u"0.0003", u"50", u"0.0001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(feeText(q(c.share), q(c.discount)), q(c.fee))
            << q(c.share).toStdString() << " " << q(c.discount).toStdString();
}

TEST(Valuation, CalculatorRoundingsAndPayment)
{
    const struct {
        const char16_t* area;
        const char16_t* price;
        const char16_t* value;
        const char16_t* nearest;
        const char16_t* up;
        const char16_t* down;
        const char16_t* two;
        const char16_t* payment; // grouped payment, or the message
    } cases[] = {
        {u"250.5", u"1000001", u"250500250.5", u"250500250", u"250500251", u"250500250", u"250500250,5",
         u"17,535,017.535"},
        {u"300", u"1000000", u"300000000", u"300000000", u"300000000", u"300000000", u"300000000", u"21,000,000"},
        {u"300", u"100000", u"30000000", u"30000000", u"30000000", u"30000000", u"30000000", u"فقط هزينه كارشناسي"},
        {u"1000", u"1000000", u"1000000000", u"1000000000", u"1000000000", u"1000000000", u"1000000000", u"60,000,000"},
        {u"1000", u"1000001", u"1000001000", u"1000001000", u"1000001000", u"1000001000", u"1000001000",
         u"طبق نظر كميسيون معاملات"},
        {u"", u"", u"0", u"0", u"0", u"0", u"0", u"فقط هزينه كارشناسي"},
        {u"1.5", u"1", u"1.5", u"2", u"2", u"1", u"1,5", u"فقط هزينه كارشناسي"},
        {u"30000005.125", u"1", u"30000005.125", u"30000005", u"30000006", u"30000005", u"30000005,12", u"0.5125"},
    };
    for (const auto& c : cases) {
        const auto out = calculate(q(c.area), q(c.price));
        ASSERT_TRUE(out) << q(c.area).toStdString();
        EXPECT_EQ(toText(out->value), q(c.value));
        EXPECT_EQ(out->nearest, q(c.nearest));
        EXPECT_EQ(out->up, q(c.up));
        EXPECT_EQ(out->down, q(c.down));
        EXPECT_EQ(out->twoDigits, q(c.two));
        EXPECT_EQ(out->payment ? paymentText(*out->payment) : out->paymentMessage, q(c.payment))
            << q(c.area).toStdString();
    }
    EXPECT_FALSE(calculate(u"abc", u"1"));
    EXPECT_FALSE(calculate(u"1", u"1,000"));
}
