// The case screen's valuation reactions, driven through a small form holding the
// fields: leaving and entering fields, typing, the covered status, the fee caption.
#include "cases/core/valuation.h"
#include "cases/valuationbinder.h"

#include "fakedialogs.h"
#include "typing.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

using namespace tarvest;

namespace {

QString q(const char16_t* s)
{
    return QString::fromUtf16(s);
}

class ValuationForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        auto field = [&](QLineEdit*& f, const char* name, const char* text) {
            f = new QLineEdit(QString::fromLatin1(text));
            f->setObjectName(QString::fromLatin1(name));
            layout->addWidget(f);
        };
        // As a new case starts: zeros in the areas, price, value and percentages.
        field(fields.metraj, "metraj", "0");
        field(fields.takhrib_masahat, "takhrib_masahat", "0");
        field(fields.masahat_na, "masahat_na", "");
        field(fields.masahat_khales, "masahat_khales", "0");
        field(fields.price_metr, "price_metr", "0");
        field(fields.ghimat_karshenasi_d, "ghimat_karshenasi_d", "");
        field(fields.melk_arzesh, "melk_arzesh", "0");
        field(fields.malek_pardakhti, "malek_pardakhti", "");
        field(fields.takhfif_darsad, "takhfif_darsad", "0");
        field(fields.malek_varizi, "malek_varizi", "");
        field(other, "other", "");
        fields.tahteposhesh = new QComboBox;
        fields.tahteposhesh->setObjectName("tahteposhesh");
        fields.tahteposhesh->setEditable(true);
        fields.tahteposhesh->addItems({QString(), valuation::kTwoDisabled, q(u"بهزيستي")});
        layout->addWidget(fields.tahteposhesh);
        fields.feeCaption = new QLabel(q(u"هزينه خدمات فني"));
        fields.feeCaption->setObjectName("feeCaption");
        layout->addWidget(fields.feeCaption);
        new ValuationBinder(fields, &window);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus(); // the work starts outside the valuation fields
    }

    void typeInto(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        test::typeText(field, text);
    }
    void enter(QWidget* field) { field->setFocus(); }
    void leaveTo(QWidget* next) { next->setFocus(); }

    test::FakeDialogs dialogs;
    QWidget window;
    ValuationFields fields;
    QLineEdit* other = nullptr;
};

} // namespace

TEST_F(ValuationForm, AreaAndPriceLeadToValueShareAndFee)
{
    const struct {
        const char* metraj;
        const char* destroyed;
        const char* price;
        const char* net;
        const char* value;
        const char16_t* share;
        const char* fee;
        bool reminder;
    } cases[] = {
        {"300", "0", "1000000", "300", "300000000", u"28350000", "14175000", false},
        {"500", "100", "1000000", "300", "300000000", u"28350000", "14175000", false},
        {"200", "0", "500000", "200", "100000000", u"9450000", "4725000", false},
        {"300", "0", "100000", "300", "30000000", u"فقط هزينه كارشناسي", "0", false},
        {"3000", "0", "100000", "3000", "300000000", u"21000000", "10500000", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.metraj + std::string(" ") + c.price);
        dialogs.shown.clear();
        fields.takhrib_masahat->setText(QString::fromLatin1(c.destroyed));
        typeInto(fields.metraj, QString::fromLatin1(c.metraj));
        typeInto(fields.price_metr, QString::fromLatin1(c.price)); // leaves metraj
        EXPECT_EQ(fields.masahat_na->text(), QString::fromLatin1(c.metraj));
        EXPECT_EQ(fields.masahat_khales->text(), QString::fromLatin1(c.net));
        enter(fields.melk_arzesh); // leaves price_metr
        EXPECT_EQ(fields.ghimat_karshenasi_d->text(), QString::fromLatin1(c.price));
        EXPECT_EQ(fields.melk_arzesh->text(), QString::fromLatin1(c.value));
        enter(fields.malek_pardakhti);
        EXPECT_EQ(fields.malek_pardakhti->text(), q(c.share));
        EXPECT_EQ(fields.malek_varizi->text(), QString::fromLatin1(c.fee));
        EXPECT_EQ(dialogs.shown.contains(valuation::kLargeAreaReminder), c.reminder);
        leaveTo(other);
    }
}

TEST_F(ValuationForm, DestroyedAreaChangesTheNetAreaAtOnce)
{
    fields.metraj->setText("500");
    fields.takhrib_masahat->setText("100");
    EXPECT_EQ(fields.masahat_khales->text(), "300");
    fields.takhrib_masahat->setText("abc");
    EXPECT_EQ(fields.masahat_khales->text(), "0");
}

TEST_F(ValuationForm, DiscountFollowsOnlyTheUsersCoveredStatus)
{
    fields.masahat_khales->setText("300");
    fields.price_metr->setText("1000000");
    enter(fields.melk_arzesh);
    ASSERT_EQ(fields.malek_varizi->text(), "14175000");

    // A status the program writes changes nothing.
    fields.tahteposhesh->setCurrentText(valuation::kTwoDisabled);
    EXPECT_EQ(fields.takhfif_darsad->text(), "0");

    // Typed by the user: discount 100, fee 0.
    fields.tahteposhesh->setCurrentText(QString());
    fields.tahteposhesh->setFocus();
    test::typeText(fields.tahteposhesh->lineEdit(), valuation::kTwoDisabled);
    EXPECT_EQ(fields.takhfif_darsad->text(), "100");
    EXPECT_EQ(fields.malek_varizi->text(), "0");

    // Picked by the user (the next item of the list): discount back to 0.
    fields.tahteposhesh->setCurrentIndex(1);
    QTest::keyClick(fields.tahteposhesh, Qt::Key_Down);
    ASSERT_EQ(fields.tahteposhesh->currentText(), q(u"بهزيستي"));
    EXPECT_EQ(fields.takhfif_darsad->text(), "0");
    EXPECT_EQ(fields.malek_varizi->text(), "14175000");

    // A typed discount of 50; an emptied one gives a fee of "0".
    fields.takhfif_darsad->setText("50");
    EXPECT_EQ(fields.malek_varizi->text(), "7087500");
    fields.takhfif_darsad->clear();
    EXPECT_EQ(fields.malek_varizi->text(), "0");
}

TEST_F(ValuationForm, FeeCaptionRecomputesTheFee)
{
    fields.malek_pardakhti->setText("28350000");
    fields.malek_varizi->setText("1");
    QTest::mouseClick(fields.feeCaption, Qt::LeftButton);
    EXPECT_EQ(fields.malek_varizi->text(), "14175000");
}

TEST_F(ValuationForm, ShareFillsEmptyFieldsCutsTheValueAndRemindsOnce)
{
    {
        // Texts the reaction finds when entered, without running their own reactions.
        const QSignalBlocker a(fields.masahat_khales), p(fields.price_metr), v(fields.melk_arzesh);
        fields.masahat_khales->setText("3500");
        fields.price_metr->clear();
        fields.melk_arzesh->setText("300000000.456");
    }
    dialogs.shown.clear();
    enter(fields.malek_pardakhti);
    EXPECT_EQ(fields.price_metr->text(), "0");
    EXPECT_EQ(fields.melk_arzesh->text(), "300000000.45");
    EXPECT_EQ(fields.malek_pardakhti->text(), "21000000.0315"); // no factor from 3000 m²
    EXPECT_EQ(fields.malek_varizi->text(), "10500000.0158");    // 10500000.01575, tie to even
    EXPECT_EQ(dialogs.shown, QStringList{valuation::kLargeAreaReminder});

    // A value that is no number: the share stays as it was.
    fields.melk_arzesh->setText("abc");
    EXPECT_EQ(fields.malek_pardakhti->text(), "21000000.0315");
}
