// The calculator "محاسبه": Enter chain, roundings under the options, the option's
// rounding in the property value, payments by band, messages, the desktop calculator.
#include "cases/calculator.h"
#include "cases/core/valuation.h"
#include "widgets/conventions.h"

#include "fakedialogs.h"
#include "typing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tarvest;

namespace {

QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}

class Calculator : public ::testing::Test {
protected:
    void SetUp() override
    {
        calc.prepare();
        calc.show();
        QApplication::setActiveWindow(&calc);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&calc));
    }
    template <typename T = QLineEdit>
    T* get(const char* name)
    {
        return calc.findChild<T*>(QString::fromLatin1(name));
    }
    QString label(int n) { return get<QLabel>(QByteArray("Label" + QByteArray::number(n)).constData())->text(); }

    // Types area and price and presses Enter after each, as the user does.
    void enterValues(const QString& area, const QString& price)
    {
        get("metraj2")->setFocus();
        get("metraj2")->selectAll();
        QTest::keyClicks(get("metraj2"), area);
        QTest::keyClick(get("metraj2"), Qt::Key_Return);
        get("price_metr2")->selectAll();
        QTest::keyClicks(get("price_metr2"), price);
        QTest::keyClick(get("price_metr2"), Qt::Key_Return);
    }

    test::FakeDialogs dialogs;
    Thesab calc;
};

} // namespace

TEST_F(Calculator, ExampleGivesRoundingsAndAPaymentWithItsFraction)
{
    EXPECT_EQ(calc.windowTitle(), q(u"محاسبه"));
    get("metraj2")->setFocus();
    EXPECT_EQ(fieldColor(get("metraj2")), focusYellow());
    QTest::keyClicks(get("metraj2"), "250.5");
    QTest::keyClick(get("metraj2"), Qt::Key_Return);
    ASSERT_TRUE(get("price_metr2")->hasFocus());
    EXPECT_NE(fieldColor(get("metraj2")), focusYellow());
    EXPECT_EQ(fieldColor(get("price_metr2")), focusYellow());
    EXPECT_EQ(get("metraj")->text(), "250.5");
    get("price_metr2")->selectAll();
    QTest::keyClicks(get("price_metr2"), "1000001");
    QTest::keyClick(get("price_metr2"), Qt::Key_Return);

    // Right to left under the options: nearest (ties to even), up, down, two digits.
    EXPECT_EQ(label(9), "250500250");
    EXPECT_EQ(label(10), "250500251");
    EXPECT_EQ(label(11), "250500250");
    EXPECT_EQ(label(12), "250500250,5");
    EXPECT_EQ(get("price_total2")->text(), "250500250.5");
    EXPECT_EQ(get("price_total")->text(), "250500250.5"); // "تا 2 رقم اعشار" at start
    // (250500250.5 − 100,000,000) × 0.07 + 7,000,000, fraction kept.
    EXPECT_TRUE(get("price_malek2")->isHidden());
    EXPECT_FALSE(get("price_malek")->isHidden());
    EXPECT_EQ(get("price_malek")->text(), "17,535,017.535");

    // The selected option gives the rounding of the property value.
    const struct {
        int option;
        const char* shown;
    } options[] = {{0, "250500250"}, {1, "250500251"}, {2, "250500250"}, {3, "250500250.5"}};
    for (const auto& o : options) {
        get<QAbstractButton>(QByteArray("RadioGroup1_" + QByteArray::number(o.option)).constData())->click();
        EXPECT_EQ(get("price_total")->text(), o.shown) << o.option;
    }
}

TEST_F(Calculator, PersianDigitsCalculateLikeLatinOnes)
{
    get("metraj2")->setFocus();
    get("metraj2")->selectAll();
    test::typeText(get("metraj2"), q(u"۲۵۰٫۵"));
    QTest::keyClick(get("metraj2"), Qt::Key_Return);
    get("price_metr2")->selectAll();
    test::typeText(get("price_metr2"), q(u"۱۰۰۰۰۰۱"));
    QTest::keyClick(get("price_metr2"), Qt::Key_Return);
    EXPECT_EQ(label(9), "250500250");
    EXPECT_EQ(get("price_malek")->text(), "17,535,017.535");
}

TEST_F(Calculator, PaymentOrMessageByValueBand)
{
    const struct {
        const char* area;
        const char* price;
        const char16_t* payment;
        bool message; // shown in the text field instead of the amount field
    } cases[] = {
        {"300", "100000", u"فقط هزينه كارشناسي", true},
        {"300", "1000000", u"21,000,000", false},
        {"1000", "1000001", u"طبق نظر كميسيون معاملات", true},
        {"1000", "1000000", u"60,000,000", false},
        {"0", "0", u"فقط هزينه كارشناسي", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.area + std::string(" ") + c.price);
        enterValues(QString::fromLatin1(c.area), QString::fromLatin1(c.price));
        const QString shownPayment = c.message ? get("price_malek")->text() : get("price_malek2")->text();
        EXPECT_EQ(shownPayment, q(c.payment));
        EXPECT_EQ(get("price_malek")->isHidden(), !c.message);
        EXPECT_EQ(get("price_malek2")->isHidden(), c.message);
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // Opening again starts from zeros, empty roundings, the amount field.
    calc.prepare();
    for (const char* name : {"metraj2", "price_metr2", "price_total", "price_malek2", "price_malek", "metraj"})
        EXPECT_EQ(get(name)->text(), "0") << name;
    EXPECT_TRUE(label(9).isEmpty());
    EXPECT_FALSE(get("price_malek2")->isHidden());
    EXPECT_TRUE(get("price_malek")->isHidden());
}

TEST_F(Calculator, RefusesAnAreaThatIsNoNumber)
{
    get("metraj2")->setText(".");
    calc.calculate();
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(label(9).isEmpty());
}

TEST_F(Calculator, SaysSoWhenNoDesktopCalculatorIsInstalled)
{
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    get<QAbstractButton>("SpeedButton1")->click();
    qputenv("PATH", path);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains("gnome-calculator"));
}
