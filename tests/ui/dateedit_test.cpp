// The date field: blank form, text read and written as a whole, and the check on
// leaving a field the user changed.
#include "common/jalali.h"
#include "fakedialogs.h"
#include "typing.h"
#include "widgets/dateedit.h"

#include <QApplication>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace tarvest;
using tarvest::test::FakeDialogs;
using tarvest::test::typeText;

namespace {

// A window holding the date field and one other field to move the focus to.
class DateEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(date = new DateEdit);
        layout->addWidget(other = new QLineEdit);
        window.show();
        QApplication::setActiveWindow(&window);
        date->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(date->hasFocus());
    }

    // Types at a position of the field, as the user would.
    void typeAt(int position, const QString& text)
    {
        date->setCursorPosition(position);
        typeText(date, text);
    }

    // Tries to move the focus to the other field; true when the date field let it go.
    bool leave()
    {
        other->setFocus();
        QApplication::processEvents();
        return other->hasFocus() && !date->hasFocus();
    }

    FakeDialogs dialogs;
    QWidget window;
    DateEdit* date = nullptr;
    QLineEdit* other = nullptr;
};

} // namespace

TEST_F(DateEditTest, StartsBlankAndReadsBackTheWholeText)
{
    EXPECT_EQ(date->dateText(), kBlankDate);
    EXPECT_EQ(date->displayText(), QStringLiteral("____/__/__"));
    EXPECT_EQ(date->maxLength(), 10);

    const struct {
        const char* set;
        const char* read;
    } cases[] = {
        {"1403/01/05", "1403/01/05"}, {"", "    /  /  "},           {"    /  /  ", "    /  /  "},
        {"1392/  /05", "1392/  /05"}, {"1403/13/40", "1403/13/40"},
    };
    for (const auto& c : cases) {
        date->setDateText(QString::fromLatin1(c.set));
        EXPECT_EQ(date->dateText(), QString::fromLatin1(c.read)) << c.set;
    }
}

TEST_F(DateEditTest, ProgramTextIsNotCheckedOnLeaving)
{
    date->setDateText(QStringLiteral("1403/13/40"));
    EXPECT_TRUE(leave());
    EXPECT_EQ(date->dateText(), QStringLiteral("1403/13/40"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(DateEditTest, EditedFieldMustHoldACompleteRealDateOrNothing)
{
    const struct {
        const char16_t* start; // set by the program before the user types
        int position;
        const char16_t* typed;
        bool accepted;
        const char16_t* result;
    } cases[] = {
        {u"", 0, u"14030105", true, u"1403/01/05"},     {u"", 0, u"14081230", true, u"1408/12/30"},
        {u"", 0, u"۱۴۰۳۰۱۰۵", true, u"1403/01/05"},  // Persian digits
        {u"", 0, u"١٤٠٣٠٢٣١", true, u"1403/02/31"},  // Arabic-Indic digits
        {u"", 0, u"14071230", false, u"1407/12/30"}, // 1407 is not leap
        {u"", 0, u"14040731", false, u"1404/07/31"},    {u"", 0, u"14031340", false, u"1403/13/40"},
        {u"", 0, u"14030001", false, u"1403/00/01"},    {u"", 8, u"05", false, u"    /  /05"}, // only the day
        {u"", 0, u"1392", false, u"1392/  /  "},                                               // only the year
        {u"1403/01/05", 8, u"4", false, u"1403/01/45"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.typed).toStdString());
        dialogs.shown.clear();
        date->setFocus();
        QApplication::processEvents();
        date->setDateText(QString::fromUtf16(c.start));
        typeAt(c.position, QString::fromUtf16(c.typed));
        EXPECT_EQ(date->dateText(), QString::fromUtf16(c.result));
        EXPECT_EQ(leave(), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(dialogs.shown.isEmpty());
        } else {
            EXPECT_TRUE(date->hasFocus());
            EXPECT_EQ(dialogs.shown, QStringList{DateEdit::invalidDateMessage()});
            EXPECT_EQ(date->dateText(), QString::fromUtf16(c.result)); // kept for correction
        }
    }
}

TEST_F(DateEditTest, ClearedFieldMayBeLeft)
{
    date->setDateText(QStringLiteral("1403/01/05"));
    date->selectAll();
    QTest::keyClick(date, Qt::Key_Backspace);
    EXPECT_TRUE(date->isModified());
    EXPECT_EQ(date->dateText(), kBlankDate);
    EXPECT_TRUE(leave());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(DateEditTest, RefusedUntilCorrectedThenLetGo)
{
    typeAt(0, QStringLiteral("14071230"));
    EXPECT_FALSE(leave());
    EXPECT_FALSE(leave()); // asked again, refused again
    EXPECT_EQ(dialogs.shown.size(), 2);
    typeAt(8, QStringLiteral("29"));
    EXPECT_TRUE(leave());
    EXPECT_EQ(date->dateText(), QStringLiteral("1407/12/29"));
    EXPECT_EQ(dialogs.shown.size(), 2);
}

TEST_F(DateEditTest, EscapeRestoresTheTextBeforeTheEdit)
{
    date->setDateText(QStringLiteral("1403/01/05"));
    typeAt(5, QStringLiteral("1340"));
    EXPECT_EQ(date->dateText(), QStringLiteral("1403/13/40"));
    QTest::keyClick(date, Qt::Key_Escape);
    EXPECT_EQ(date->dateText(), QStringLiteral("1403/01/05"));
    EXPECT_TRUE(leave());
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // After an accepted edit, Escape returns to that edit's result, not the older text.
    date->setFocus();
    QApplication::processEvents();
    typeAt(8, QStringLiteral("20"));
    EXPECT_TRUE(leave());
    date->setFocus();
    QApplication::processEvents();
    typeAt(0, QStringLiteral("99"));
    QTest::keyClick(date, Qt::Key_Escape);
    EXPECT_EQ(date->dateText(), QStringLiteral("1403/01/20"));
}
