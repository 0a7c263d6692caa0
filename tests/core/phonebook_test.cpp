// The phone book on both databases: the search finds an entry whichever kaf and yeh it
// was stored or typed with, in the chosen column, with "%" and "_" literal; names are
// unique as typed, an empty name once and never listed; a delete removes its row only.
#include "admin/core/phonebook.h"
#include "db/provision.h"
#include "race.h"
#include "testdb.h"

using namespace tarvest;

namespace {

class PhoneBookTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    qint64 add(const QString& name, const QString& tel = "031-1", const QString& cmt = "")
    {
        qint64 id = 0;
        EXPECT_EQ(addPhoneEntry(*db, name, tel, cmt, &id), PhoneAdd::Added) << name.toStdString();
        return id;
    }
    QStringList found(PhoneColumn column, const QString& text)
    {
        ResultSet rs(db);
        rs.open(phoneQuery(*db, column, text));
        QStringList names;
        for (int r = 0; r < rs.recordCount(); ++r)
            names << rs.textAt(r, rs.fieldIndex("name"));
        return names;
    }
};

} // namespace

TEST(PhoneBookText, TheSearchTextKeepsTheArabicKafAndFoldingJoinsBothForms)
{
    EXPECT_EQ(phoneSearchText("کرمان کوير"), "كرمان كوير");
    EXPECT_EQ(phoneSearchText("يزدی"), "يزدی") << "the search text's yeh is kept as typed";
    EXPECT_EQ(foldKafYeh("کریمی"), foldKafYeh("كريمي"));
    EXPECT_NE(foldKafYeh("کریم"), foldKafYeh("كرم"));
}

TEST_P(PhoneBookTest, EitherKafAndEitherYehFindEachOther)
{
    add("کریمی"); // Persian keheh and yeh
    add("كريمي"); // Arabic kaf and yeh
    add("کريمي"); // mixed
    add("احمدي");
    const QStringList all{"کریمی", "كريمي", "کريمي"};
    for (const QString& typed : QStringList{"کریم", "كريم", "کري", "ریمی", phoneSearchText("کریمی")}) {
        QStringList names = found(PhoneColumn::Name, typed);
        names.sort();
        QStringList want = all;
        want.sort();
        EXPECT_EQ(names, want) << typed.toStdString();
    }
    EXPECT_EQ(found(PhoneColumn::Name, "احمدی"), QStringList{"احمدي"});
    EXPECT_EQ(found(PhoneColumn::Name, "").size(), 4);
}

TEST_P(PhoneBookTest, TheChosenColumnIsSearchedWithItsPatternCharactersLiteral)
{
    add("دبيرخانه", "031-33221100", "داخلي 100%");
    add("امور زمين", "031_42", "ساختمان كهنه");
    add("Ali Reza", "0913", "");
    EXPECT_EQ(found(PhoneColumn::Tel, "3322"), QStringList{"دبيرخانه"});
    EXPECT_EQ(found(PhoneColumn::Tel, "_"), QStringList{"امور زمين"});
    EXPECT_EQ(found(PhoneColumn::Cmt, "%"), QStringList{"دبيرخانه"});
    EXPECT_EQ(found(PhoneColumn::Cmt, "کهنه"), QStringList{"امور زمين"});
    EXPECT_EQ(found(PhoneColumn::Name, "ali"), QStringList{"Ali Reza"}) << "Latin letters in either case";
    EXPECT_TRUE(found(PhoneColumn::Name, "3322").isEmpty());
}

TEST_P(PhoneBookTest, NamesAreUniqueAsTypedAndAnEmptyNameOnceButNeverListed)
{
    add("دبيرخانه");
    EXPECT_EQ(addPhoneEntry(*db, "دبيرخانه", "2", ""), PhoneAdd::Duplicate);
    add("دبيرخانه "); // another text
    add("");
    EXPECT_EQ(addPhoneEntry(*db, "", "3", ""), PhoneAdd::Duplicate);
    db->insert("phone", {{"name", QVariant()}, {"tel", "4"}});
    EXPECT_EQ(addPhoneEntry(*db, "", "5", ""), PhoneAdd::Duplicate) << "a missing name is the empty name";
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone").toInt(), 4);
    EXPECT_EQ(found(PhoneColumn::Name, "").size(), 2);
    EXPECT_EQ(found(PhoneColumn::Tel, "").size(), 2) << "entries without a name are not listed by any column";
    EXPECT_THROW(addPhoneEntry(*db, QString(101, u'ن'), "", ""), Error);
}

TEST_P(PhoneBookTest, TwoWorkstationsAddingOneNameStoreItOnce)
{
    const std::vector<int> added = test::raceSaves(*tmp, 2, 5, [](Database& conn, int round, int w) {
        return addPhoneEntry(conn, QString("اداره %1").arg(round), QString::number(w), "") == PhoneAdd::Added;
    });
    for (int a : added)
        EXPECT_EQ(a, 1);
    EXPECT_EQ(db->scalar("SELECT count(*) FROM phone").toInt(), 5);
}

TEST_P(PhoneBookTest, ADeleteRemovesItsOwnRowOnly)
{
    const qint64 a = add("الف");
    const qint64 b = add("ب");
    EXPECT_EQ(deletePhoneEntry(*db, a), 1);
    EXPECT_EQ(deletePhoneEntry(*db, a), 0);
    EXPECT_EQ(found(PhoneColumn::Name, ""), QStringList{"ب"});
    EXPECT_EQ(db->scalar("SELECT id FROM phone").toLongLong(), b);
}

TARVEST_FOR_EACH_DATABASE(PhoneBookTest);
