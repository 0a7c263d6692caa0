// Setting lists: the fixed names, reading a list as choices or as one value, adding
// with the duplicate check and deleting a pair, on a real database of each kind.
#include "common/errors.h"
#include "db/provision.h"
#include "db/settinglists.h"
#include "testdb.h"

#include <QSet>

using namespace tarvest;

namespace {

class SettingListsTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    void put(const QString& list, const QString& value)
    {
        db->insert("setting", {{"component", list}, {"cmt", value}});
    }
    int rowsOf(const QString& list, const QString& value)
    {
        return db->scalar("SELECT count(*) FROM setting WHERE component = ? AND cmt = ?", {list, value}).toInt();
    }
};

// The same name written with Arabic kaf instead of Persian keheh (and the reverse).
QString swapKaf(QString s)
{
    for (QChar& c : s) {
        if (c == QChar(0x0643))
            c = QChar(0x06A9);
        else if (c == QChar(0x06A9))
            c = QChar(0x0643);
    }
    return s;
}

} // namespace

TEST(SettingListNames, TheSettingsScreenOffersThirtyFourDistinctNamesInItsOrder)
{
    const QStringList& names = settingListNames();
    ASSERT_EQ(names.size(), 34);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 34);
    EXPECT_EQ(names.front(), lists::TechnicalAffairs);
    EXPECT_EQ(names.indexOf(lists::DeletePassword), 8);
    EXPECT_EQ(names.back(), lists::LandStudyKind);
    // Entered outside the settings screen.
    EXPECT_FALSE(names.contains(lists::UserStatus));
    EXPECT_FALSE(names.contains(lists::MessageSubject));
}

TEST_P(SettingListsTest, ReadersTakeExactlyTheNamedListInTheOrderValuesWereAdded)
{
    // Added out of alphabetical order, so a reader that sorts or picks any row shows.
    put(lists::FeePerMember, "2500000");
    put(lists::FeePerMember, "1000000");
    put(lists::FeePerMember, "3000000");
    // Same name with the other kaf: a different list.
    put(lists::LandUseKinds, "مسکونی");
    put(swapKaf(lists::LandUseKinds), "صنعتی");
    // A longer name containing "مشاور".
    put(lists::Consultant, "مهندسین مشاور الف");
    put(lists::Consultant + " حقوقی", "دفتر ب");

    const struct {
        QString list;
        QStringList choices;
        QString value;
    } cases[] = {
        {lists::FeePerMember, {"2500000", "1000000", "3000000"}, "2500000"},
        {lists::LandUseKinds, {"مسکونی"}, "مسکونی"},
        {swapKaf(lists::LandUseKinds), {"صنعتی"}, "صنعتی"},
        {lists::Consultant, {"مهندسین مشاور الف"}, "مهندسین مشاور الف"},
        {lists::DeletePassword, {}, ""},
        {lists::UserStatus, {}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settingChoices(*db, c.list), c.choices) << c.list.toStdString();
        EXPECT_EQ(settingValue(*db, c.list), c.value) << c.list.toStdString();
    }
}

TEST_P(SettingListsTest, AddingRefusesBlankAndDuplicateValues)
{
    EXPECT_EQ(addSettingValue(*db, lists::RequestKind, "تغییر کاربری"), SettingAdd::Added);
    EXPECT_EQ(addSettingValue(*db, lists::RequestKind, "تغییر کاربری"), SettingAdd::Duplicate);
    // The same value in another list, or with the other kaf in the list name, is new.
    EXPECT_EQ(addSettingValue(*db, lists::LandGroup, "تغییر کاربری"), SettingAdd::Added);
    EXPECT_EQ(addSettingValue(*db, lists::LandUseKinds, "تجاری"), SettingAdd::Added);
    EXPECT_EQ(addSettingValue(*db, swapKaf(lists::LandUseKinds), "تجاری"), SettingAdd::Added);
    // A value differing only in its letters' forms is a different value.
    EXPECT_EQ(addSettingValue(*db, lists::RequestKind, "تغيير كاربري"), SettingAdd::Added);

    EXPECT_EQ(addSettingValue(*db, lists::RequestKind, ""), SettingAdd::Empty);
    EXPECT_EQ(addSettingValue(*db, lists::RequestKind, "   "), SettingAdd::Empty);
    EXPECT_EQ(addSettingValue(*db, "", "بدون عنوان"), SettingAdd::Empty);

    EXPECT_EQ(rowsOf(lists::RequestKind, "تغییر کاربری"), 1);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM setting").toInt(), 5);
    // A second workstation sees the value already there.
    auto other = tmp->openAnother();
    EXPECT_EQ(addSettingValue(*other, lists::RequestKind, "تغییر کاربری"), SettingAdd::Duplicate);
}

TEST_P(SettingListsTest, AddingRefusesAValueWiderThanItsColumn)
{
    EXPECT_THROW(addSettingValue(*db, lists::Consultant, QString(151, QChar(0x0628))), Error);
    EXPECT_EQ(addSettingValue(*db, lists::Consultant, QString(150, QChar(0x0628))), SettingAdd::Added);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM setting").toInt(), 1);
}

TEST_P(SettingListsTest, DeletingRemovesEveryRowOfThePairAndNothingElse)
{
    put(lists::LandStage, "مطالعه");
    put(lists::LandStage, "مطالعه"); // entered twice before the check existed
    put(lists::LandStage, "اجرا");
    put(lists::LandPlanKind, "مطالعه");

    EXPECT_EQ(removeSettingValue(*db, lists::LandStage, "مطالعه"), 2);
    EXPECT_EQ(settingChoices(*db, lists::LandStage), QStringList{"اجرا"});
    EXPECT_EQ(settingChoices(*db, lists::LandPlanKind), QStringList{"مطالعه"});
    EXPECT_EQ(removeSettingValue(*db, lists::LandStage, "مطالعه"), 0);
}

TARVEST_FOR_EACH_DATABASE(SettingListsTest);
