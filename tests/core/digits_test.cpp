// Digit handling: other-script digits, grouping, and the cleaning and reading of
// amount (whole rial) and quantity texts behind TMonEdit and TRealEdit.
#include "common/digits.h"
#include "common/errors.h"

#include <gtest/gtest.h>

using namespace tarvest;

namespace {
struct TextCase {
    const char16_t* in;
    const char16_t* out;
};
QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}
} // namespace

TEST(Digits, NormalizesPersianAndArabicIndicDigits)
{
    EXPECT_EQ(normalizeDigits(q(u"۱۴۰۳/۰۱/۰۵")), QStringLiteral("1403/01/05"));
    EXPECT_EQ(normalizeDigits(q(u"٠١٢٣٤٥٦٧٨٩")), QStringLiteral("0123456789"));
    EXPECT_EQ(normalizeDigits(q(u"۰۱۲۳۴۵۶۷۸۹")), QStringLiteral("0123456789"));
    EXPECT_EQ(normalizeDigits(q(u"مبلغ 12")), q(u"مبلغ 12"));
}

TEST(Digits, GroupsInThreesFromTheRight)
{
    const TextCase cases[] = {
        {u"", u""},
        {u"9", u"9"},
        {u"987", u"987"},
        {u"9876", u"9,876"},
        {u"98765", u"98,765"},
        {u"987654", u"987,654"},
        {u"1250000", u"1,250,000"},
        {u"12345678901234567890123", u"12,345,678,901,234,567,890,123"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(groupDigits(q(c.in)), q(c.out)) << q(c.in).toStdString();
}

TEST(Digits, RoundsDecimalTextHalfToEven)
{
    const TextCase cases[] = {
        {u"1250000.5", u"1250000"},
        {u"1250001.5", u"1250002"},
        {u"1500.75", u"1501"},
        {u"1500.25", u"1500"},
        {u"1500.5000001", u"1501"},
        {u"1500.50000", u"1500"},
        {u"999.5", u"1000"},
        {u"0.5", u"0"},
        {u".5", u"0"},
        {u".51", u"1"},
        {u"12.", u"12"},
        {u"1,250,000.5", u"1250000"},
        {u"-1500.75", u"1501"},
        {u"abc", u""},
        {u"99999999999999999999.5", u"100000000000000000000"},
        {u"1.2.6", u"1"}, // only the first point starts the fraction
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundDecimalTextToWhole(q(c.in)), q(c.out)) << q(c.in).toStdString();
}

TEST(Digits, CleansAmountText)
{
    const TextCase cases[] = {
        {u"", u""},
        {u"9876543", u"9,876,543"},
        {u"1,2534", u"12,534"},
        // Only digits count: a point is a grouping mark typed by hand, not a fraction.
        {u"1.250.000", u"1,250,000"},
        {u"1٫250٫000", u"1,250,000"}, // Persian separator as grouping
        {u"1250000.5", u"12,500,005"},
        {u"-1500.75", u"150,075"},
        {u"1,250,000.5", u"12,500,005"},
        {u"ثبت با موفقيت انجام شد", u""},
        {u"۱۲۵۰۰۰۰", u"1,250,000"},
        {u"١٢٣٤", u"1,234"},
        {u"۱۵۰۰٫۷۵", u"150,075"},
        {u" 12 345 ريال", u"12,345"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cleanAmountText(q(c.in)), q(c.out)) << q(c.in).toStdString();
}

TEST(Digits, ReadsWholeRialsIn64Bits)
{
    const struct {
        const char16_t* in;
        qint64 value;
    } cases[] = {
        {u"", 0},
        {u"ريال", 0},
        {u"2,147,483,647", 2147483647LL},
        {u"2,147,483,648", 2147483648LL},
        {u"9,223,372,036,854,775,807", 9223372036854775807LL},
        {u"۱,۲۵۰,۰۰۰", 1250000},
        {u"000,012", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseWholeRials(q(c.in)), c.value) << q(c.in).toStdString();
}

TEST(Digits, AmountBeyond64BitsIsAnError)
{
    for (const char16_t* in : {u"9,223,372,036,854,775,808", u"99,999,999,999,999,999,999"}) {
        try {
            parseWholeRials(q(in));
            ADD_FAILURE() << "no error for " << q(in).toStdString();
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().isEmpty());
            EXPECT_TRUE(e.message().contains(q(in))) << e.message().toStdString();
        }
    }
}

TEST(Digits, CleansQuantityText)
{
    const TextCase cases[] = {
        {u"", u""},         {u"12.5m2", u"12.52"}, {u"1.2.3", u"1.23"}, {u"-3.75", u"3.75"},     {u"۱۲٫۵", u"12.5"},
        {u"٣.١٤", u"3.14"}, {u"abc", u""},         {u".", u"."},        {u"1,250.5", u"1250.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cleanQuantityText(q(c.in)), q(c.out)) << q(c.in).toStdString();
}

TEST(Digits, ReadsQuantities)
{
    const struct {
        const char* in;
        double value;
    } cases[] = {
        {"", 0.0}, {"12.52", 12.52}, {"0", 0.0}, {"12.", 12.0}, {".5", 0.5}, {"1250", 1250.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(parseQuantity(QString::fromLatin1(c.in)), c.value) << c.in;

    for (const char* bad : {".", "1.2.3", "-1", "1e5", "abc", "inf", "12,5"})
        EXPECT_THROW(parseQuantity(QString::fromLatin1(bad)), Error) << bad;
}
