// TMonEdit and TRealEdit: the cleaning after each change (typed or set) and the caret.
// The cleaning rules themselves are covered by the digit helper tests.
#include "common/errors.h"
#include "typing.h"
#include "widgets/numericedits.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace tarvest;
using tarvest::test::typeText;

TEST(TMonEdit, RegroupsAfterEveryKeystroke)
{
    TMonEdit edit;
    EXPECT_EQ(edit.size(), QSize(100, 50));
    const QStringList expected = {"9", "98", "987", "9,876", "98,765", "987,654", "9,876,543"};
    const QString typed = QStringLiteral("9876543");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(&edit, typed[i].toLatin1());
        EXPECT_EQ(edit.text(), expected[i]);
        EXPECT_EQ(edit.cursorPosition(), expected[i].size());
    }
    EXPECT_EQ(edit.asInteger(), 9876543);
}

TEST(TMonEdit, DigitTypedInTheMiddleRegroups)
{
    TMonEdit edit;
    edit.setText(QStringLiteral("1234"));
    ASSERT_EQ(edit.text(), QStringLiteral("1,234"));
    edit.setCursorPosition(3); // 1,2|34
    QTest::keyClick(&edit, '5');
    EXPECT_EQ(edit.text(), QStringLiteral("12,534"));
    EXPECT_EQ(edit.cursorPosition(), 6);
}

TEST(TMonEdit, TypedPersianDigitsCount)
{
    TMonEdit edit;
    typeText(&edit, QString::fromUtf16(u"۱۲۵۰۰۰۰"));
    EXPECT_EQ(edit.text(), QStringLiteral("1,250,000"));
    EXPECT_EQ(edit.asInteger(), 1250000);
}

TEST(TMonEdit, PointsTypedInsideAnAmountAreGroupingNotAFraction)
{
    for (const QString& typed : {QStringLiteral("1.250.000"), QString::fromUtf16(u"1٫250٫000")}) {
        TMonEdit edit;
        typeText(&edit, typed);
        EXPECT_EQ(edit.text(), QStringLiteral("1,250,000")) << typed.toStdString();
        EXPECT_EQ(edit.asInteger(), 1250000);
        edit.selectAll();
        edit.insert(typed); // pasted
        EXPECT_EQ(edit.asInteger(), 1250000);
    }
}

TEST(TMonEdit, TextSetByTheProgramIsCleaned)
{
    const struct {
        const char16_t* set;
        const char16_t* shown;
        qint64 value;
    } cases[] = {
        {u"1.250.000", u"1,250,000", 1250000},
        {u"1٫250٫000", u"1,250,000", 1250000},
        {u"-1500.75", u"150,075", 150075},
        {u"1,250,000.5", u"12,500,005", 12500005},
        {u"2147483648", u"2,147,483,648", 2147483648LL},
        {u"ثبت شد", u"", 0},
        {u"", u"", 0},
    };
    TMonEdit edit;
    for (const auto& c : cases) {
        edit.setText(QString::fromUtf16(c.set));
        EXPECT_EQ(edit.text(), QString::fromUtf16(c.shown)) << QString::fromUtf16(c.set).toStdString();
        EXPECT_EQ(edit.cursorPosition(), edit.text().size());
        EXPECT_EQ(edit.asInteger(), c.value);
    }
}

TEST(TMonEdit, AmountBeyond64BitsIsAnErrorNotAWrongNumber)
{
    TMonEdit edit;
    edit.setText(QStringLiteral("99999999999999999999"));
    EXPECT_EQ(edit.text(), QStringLiteral("99,999,999,999,999,999,999"));
    EXPECT_THROW(edit.asInteger(), Error);
}

TEST(TRealEdit, KeepsDigitsAndOnePoint)
{
    TRealEdit edit;
    EXPECT_EQ(edit.size(), QSize(100, 50));
    QTest::keyClicks(&edit, QStringLiteral("12.5m2"));
    EXPECT_EQ(edit.text(), QStringLiteral("12.52"));
    EXPECT_EQ(edit.cursorPosition(), 5);
    EXPECT_DOUBLE_EQ(edit.asFloat(), 12.52);

    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("1.2.3"));
    EXPECT_EQ(edit.text(), QStringLiteral("1.23")) << "the second point is ignored";

    edit.clear();
    typeText(&edit, QString::fromUtf16(u"۱۲٫۵"));
    EXPECT_EQ(edit.text(), QStringLiteral("12.5"));

    edit.setText(QStringLiteral("-3.75 m"));
    EXPECT_EQ(edit.text(), QStringLiteral("3.75"));
    EXPECT_EQ(edit.cursorPosition(), 4);
}

TEST(TRealEdit, SecondPointIsRefusedAndTheValueStays)
{
    // A point typed into 12.5 before its 2 would make it 1.25 if the old point went.
    for (const QString& point : {QStringLiteral("."), QString(QChar(0x066B))}) {
        TRealEdit edit;
        edit.setText(QStringLiteral("12.5"));
        edit.setCursorPosition(1);
        typeText(&edit, point);
        EXPECT_EQ(edit.text(), QStringLiteral("12.5"));
        EXPECT_DOUBLE_EQ(edit.asFloat(), 12.5);
    }
    TRealEdit edit;
    edit.setText(QStringLiteral("12.5"));
    edit.selectAll();
    edit.insert(QStringLiteral("3.5.1")); // a pasted text with two points
    EXPECT_EQ(edit.text(), QStringLiteral("12.5"));
    edit.selectAll();
    edit.insert(QStringLiteral("7.25"));
    EXPECT_EQ(edit.text(), QStringLiteral("7.25"));
}

TEST(TRealEdit, ValueOfEmptyAndOfNonNumbers)
{
    TRealEdit edit;
    EXPECT_DOUBLE_EQ(edit.asFloat(), 0.0);
    edit.setText(QStringLiteral("."));
    EXPECT_THROW(edit.asFloat(), Error);
    edit.setText(QStringLiteral("abc"));
    EXPECT_EQ(edit.text(), QString());
    EXPECT_DOUBLE_EQ(edit.asFloat(), 0.0);
}
