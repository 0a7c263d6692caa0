// Users and their rights on both databases: the rights profile, page and county rights
// saved whole or not at all, the user-name rule (also between workstations), the
// password kept as a hash, and the administrator kept out of reach.
#include "admin/core/users.h"
#include "common/errors.h"
#include "common/password.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/session.h"
#include "race.h"
#include "testdb.h"

#include <QSet>
#include <QSqlRecord>

using namespace tarvest;

namespace {

class UsersTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
    }
    qint64 add(const QString& us, const QString& ps = "secret", const QString& ostan = "فارس")
    {
        qint64 id = 0;
        EXPECT_EQ(addUser(*db, {us, ps, "city", ostan, "کارشناس", "0912", "نام " + us, "فعال"}, "admin", &id),
                  UserSave::Saved);
        return id;
    }
    QVariantMap loaded(qint64 id)
    {
        QSqlQuery q = db->exec("SELECT id, us, nam, ver, lev, ostan, semat, mobile, status FROM users WHERE id = ?",
                               {id});
        EXPECT_TRUE(q.next());
        QVariantMap row;
        for (const char* c : {"id", "us", "nam", "ver", "lev", "ostan", "semat", "mobile", "status"})
            row.insert(c, q.value(c));
        return row;
    }
    QString stored(qint64 id, const char* column)
    {
        return db->scalar(QString("SELECT %1 FROM users WHERE id = ?").arg(column), {id}).toString();
    }
    int count(const QString& sql, const QVariantList& params = {}) { return db->scalar(sql, params).toInt(); }
    QStringList logTexts()
    {
        QStringList texts;
        QSqlQuery q = db->exec("SELECT cmt FROM log ORDER BY id");
        while (q.next())
            texts << q.value(0).toString();
        return texts;
    }
    // Makes every insert into `table` fail once `column` holds `value`, as a full disk
    // or a dropped connection would half way through a save.
    void failInsertsOf(const QString& table, const QString& column, const QString& value)
    {
        if (tmp->backend() == test::Backend::Sqlite) {
            db->exec(QString("CREATE TRIGGER fail_%1 BEFORE INSERT ON %1 WHEN NEW.%2 = '%3' "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                         .arg(table, column, value));
        } else {
            db->exec(QString("CREATE FUNCTION fail_%1() RETURNS trigger AS $$ BEGIN "
                             "IF NEW.%2 = '%3' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$ "
                             "LANGUAGE plpgsql")
                         .arg(table, column, value));
            db->exec(QString("CREATE TRIGGER fail_%1 BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION fail_%1()")
                         .arg(table));
        }
    }
};

bool same(const PageRights& a, const PageRights& b)
{
    return a.insert == b.insert && a.edit == b.edit && a.remove == b.remove && a.view == b.view;
}

} // namespace

TEST(UserRights, ElevenPagesInTheirSavingOrderCoverEveryPageName)
{
    QStringList prefixes, pages;
    for (const RightsPage& p : rightsPages()) {
        prefixes << p.prefix;
        pages << p.page;
    }
    EXPECT_EQ(prefixes, (QStringList{"abadiha", "ghimat", "vagozari", "arazi", "asnad", "phone", "zamaem", "komision",
                                     "kom_z", "set", "karbaran"}));
    EXPECT_EQ(pages[9], "seting");
    EXPECT_EQ(QSet<QString>(pages.begin(), pages.end()), QSet<QString>(pageNames().begin(), pageNames().end()));
}

TEST(UserRights, OnlyACountyExpertGetsTheDefaultProfile)
{
    const RightsByPage expert = defaultRights("city", "کارشناس");
    EXPECT_EQ(expert.size(), 4);
    EXPECT_TRUE(same(expert.value("komision"), {true, true, false, true}));
    EXPECT_TRUE(same(expert.value("ghimat"), {true, false, false, true}));
    EXPECT_TRUE(same(expert.value("kom_z"), {true, false, false, true}));
    EXPECT_TRUE(same(expert.value("abadiha"), {false, false, false, true}));
    struct Case {
        const char* level;
        QString group;
    };
    for (const Case& c : {Case{"ostan", "کارشناس"}, Case{"city", "مدير"}, Case{"admin", "کارشناس"},
                          Case{"city", "كارشناس"} /* Arabic kaf: another group */, Case{"city", ""}})
        EXPECT_TRUE(defaultRights(c.level, c.group).isEmpty()) << c.level << " " << c.group.toStdString();
}

TEST_P(UsersTest, SavingPageRightsReplacesAllElevenRowsAndClearBoxesAreStoredAsZeros)
{
    const qint64 id = add("1234567890");
    db->insert("dastrasi",
               {{"prs_id", id}, {"page_name", "komision"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    db->insert("dastrasi",
               {{"prs_id", id}, {"page_name", "komision"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    db->insert("dastrasi",
               {{"prs_id", id}, {"page_name", "old_page"}, {"darj", 1}, {"virayesh", 1}, {"hazf", 1}, {"namayesh", 1}});
    savePageRights(*db, id, defaultRights("city", "کارشناس"));

    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = ? AND page_name <> 'old_page'", {id}), 11);
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = ? AND page_name = 'komision'", {id}), 1);
    const RightsByPage back = loadPageRights(*db, id);
    EXPECT_EQ(back.size(), 11); // the unknown page is ignored
    EXPECT_TRUE(same(back.value("komision"), {true, true, false, true}));
    EXPECT_TRUE(same(back.value("seting"), {}));

    // A page with four clear boxes has a row of zeros: the view check refuses it.
    Session session;
    session.setDatabase(tmp->openAnother());
    session.login.userId = QString::number(id);
    const std::optional<PageRights> phone = session.pageRights("phone");
    ASSERT_TRUE(phone.has_value());
    EXPECT_FALSE(phone->view);
    ASSERT_TRUE(session.pageRights("abadiha").has_value());
    EXPECT_TRUE(session.pageRights("abadiha")->view);
    // The rows of other users stay.
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = 1"), 11);
}

TEST_P(UsersTest, ASaveOfRightsThatFailsHalfWayLeavesTheEarlierRightsWhole)
{
    const qint64 id = add("1234567890");
    savePageRights(*db, id, defaultRights("city", "کارشناس"));
    savePageRights(*db, 1, {}); // the failure below must not depend on the other user
    saveCounties(*db, id, {"شيراز", "مرودشت"});
    failInsertsOf("dastrasi", "page_name", "komision"); // the eighth of eleven pages
    failInsertsOf("dastrasi2", "cmt", "فسا");

    RightsByPage all;
    for (const RightsPage& p : rightsPages())
        all.insert(p.page, {true, true, true, true});
    EXPECT_THROW(savePageRights(*db, id, all), Error);
    const RightsByPage back = loadPageRights(*db, id);
    EXPECT_EQ(back.size(), 11);
    EXPECT_TRUE(same(back.value("abadiha"), {false, false, false, true}));
    EXPECT_TRUE(same(back.value("phone"), {}));

    EXPECT_THROW(saveCounties(*db, id, {"جهرم", "فسا"}), Error);
    EXPECT_EQ(loadCounties(*db, id), (QStringList{"شيراز", "مرودشت"}));
}

TEST_P(UsersTest, CountyRightsAreReplacedAsListedAndAnEmptyListRemovesThemAll)
{
    const qint64 id = add("1234567890");
    const qint64 other = add("999");
    saveCounties(*db, other, {"فسا"});
    saveCounties(*db, id, {"شيراز", "مرودشت"});
    saveCounties(*db, id, {"جهرم", "شيراز", "جهرم"});
    EXPECT_EQ(loadCounties(*db, id), (QStringList{"جهرم", "شيراز", "جهرم"})); // repeats kept as listed
    saveCounties(*db, id, {});
    EXPECT_TRUE(loadCounties(*db, id).isEmpty());
    EXPECT_EQ(loadCounties(*db, other), QStringList{"فسا"});
}

TEST_P(UsersTest, UserNamesAreUniqueWithoutRegardToCaseAndTrailingBlanks)
{
    add("Ali.Rezaei");
    for (const QString& name :
         {QString("Ali.Rezaei"), QString("ali.rezaei"), QString("ALI.REZAEI  "), QString("ADMIN")})
        EXPECT_EQ(addUser(*db, {name, "x", "city", "", "", "", "", "فعال"}, "admin"), UserSave::Duplicate)
            << name.toStdString();
    EXPECT_EQ(addUser(*db, {"   ", "x", "city", "", "", "", "", "فعال"}, "admin"), UserSave::NoName);
    EXPECT_EQ(addUser(*db, {" ali.rezaei", "x", "city", "", "", "", "", "فعال"}, "admin"), UserSave::Saved)
        << "leading blanks make another name, as at login";
    EXPECT_EQ(count("SELECT count(*) FROM users"), 3);

    // Editing: a name taken by another user in any case is refused; a user's own name
    // in another case is not.
    const qint64 second = add("Reza");
    EXPECT_EQ(updateUser(*db, second, {"ALI.rezaei ", "", "city", "", "", "", "", "فعال"}, loaded(second), "admin"),
              UserSave::Duplicate);
    EXPECT_EQ(stored(second, "us"), "Reza");
    EXPECT_EQ(updateUser(*db, second, {"reza", "", "city", "", "", "", "", "فعال"}, loaded(second), "admin"),
              UserSave::Saved);
    EXPECT_EQ(stored(second, "us"), "reza");
}

TEST_P(UsersTest, SimultaneousAddsOfOneNameInDifferentCasesStoreOneUser)
{
    constexpr int kWorkstations = 4, kRounds = 5;
    const std::vector<int> saved = test::raceSaves(*tmp, kWorkstations, kRounds, [](Database& mine, int round, int w) {
        QString name = QStringLiteral("user%1").arg(round);
        if (w % 2)
            name = name.toUpper() + QStringLiteral(" ");
        return addUser(mine, {name, "1", "city", "", "", "", "", "فعال"}, "admin") == UserSave::Saved;
    });
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(saved[round], 1) << "round " << round;
        EXPECT_EQ(count("SELECT count(*) FROM users WHERE lower(rtrim(us)) = ?", {QString("user%1").arg(round)}), 1);
    }
}

TEST_P(UsersTest, ANewPasswordIsStoredAsAHashAndAnEmptyOneKeepsTheCurrent)
{
    const qint64 id = add("1234567890", "first");
    EXPECT_TRUE(isPasswordHash(stored(id, "ps")));
    EXPECT_TRUE(stored(id, "ver").isEmpty());
    EXPECT_TRUE(findUser(*db, "1234567890", "first").has_value());

    const QString hashBefore = stored(id, "ps");
    ASSERT_EQ(
        updateUser(*db, id, {"1234567890", "", "ostan", "فارس", "", "0913", "نام تازه", "فعال"}, loaded(id), "admin"),
        UserSave::Saved);
    EXPECT_EQ(stored(id, "ps"), hashBefore);
    EXPECT_EQ(stored(id, "lev"), "ostan");
    EXPECT_EQ(stored(id, "nam"), "نام تازه");
    EXPECT_TRUE(findUser(*db, "1234567890", "first").has_value());

    ASSERT_EQ(updateUser(*db, id, {"1234567890", "second", "ostan", "فارس", "", "0913", "نام تازه", "فعال"}, loaded(id),
                         "admin"),
              UserSave::Saved);
    EXPECT_TRUE(isPasswordHash(stored(id, "ps")));
    EXPECT_TRUE(findUser(*db, "1234567890", "second").has_value());
    EXPECT_FALSE(findUser(*db, "1234567890", "first").has_value());

    // The log names the user and the province, never a password or its hash.
    const QStringList log = logTexts();
    EXPECT_EQ(log, (QStringList{" ثبت کاربر جديد 1234567890 فارس", " ويرايش کاربر 1234567890 فارس",
                                " ويرايش کاربر 1234567890 فارس"}));
}

TEST_P(UsersTest, AnEditOverAnotherWorkstationsChangeWritesNothing)
{
    const qint64 id = add("1234567890");
    const QVariantMap seen = loaded(id);
    db->exec("UPDATE users SET mobile = '0999' WHERE id = ?", {id});
    EXPECT_THROW(updateUser(*db, id, {"1234567890", "new", "city", "", "", "0912", "", "فعال"}, seen, "admin"),
                 RecordChanged);
    EXPECT_EQ(stored(id, "mobile"), "0999");
    EXPECT_TRUE(findUser(*db, "1234567890", "secret").has_value());
}

TEST_P(UsersTest, TheAdministratorIsNeitherEditedNorDeleted)
{
    const QVariantMap admin = loaded(1);
    ASSERT_EQ(admin.value("us").toString(), "admin");
    const QString hash = stored(1, "ps");
    EXPECT_EQ(updateUser(*db, 1, {"admin", "2", "city", "", "", "", "", "فعال"}, admin, "admin"),
              UserSave::Administrator);
    EXPECT_EQ(deleteUser(*db, 1, admin, "admin"), UserSave::Administrator);
    EXPECT_EQ(stored(1, "ps"), hash);
    EXPECT_EQ(stored(1, "lev"), "admin");
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = 1"), 11);
}

TEST_P(UsersTest, DeletingAUserDeletesItsPageAndCountyRights)
{
    const qint64 id = add("1234567890");
    const qint64 other = add("999");
    savePageRights(*db, id, {});
    savePageRights(*db, other, {});
    saveCounties(*db, id, {"شيراز"});
    saveCounties(*db, other, {"فسا"});
    ASSERT_EQ(deleteUser(*db, id, loaded(id), "admin"), UserSave::Saved);
    EXPECT_EQ(count("SELECT count(*) FROM users WHERE id = ?", {id}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = ?", {id}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi2 WHERE user_id = ?", {id}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM dastrasi WHERE prs_id = ?", {other}), 11);
    EXPECT_EQ(loadCounties(*db, other), QStringList{"فسا"});
    EXPECT_EQ(logTexts().last(), " حذف کاربر 1234567890 فارس");
}

TEST_P(UsersTest, TheSearchMatchesEachEnabledFilterAnywhereAndNeverReadsPasswords)
{
    add("1234567890", "p", "فارس");
    add("5554567", "p", "تهران");
    db->exec("UPDATE users SET lev = 'ostan' WHERE us = '5554567'");
    struct Case {
        UserFilters filters;
        int expected;
    };
    const Case cases[] = {
        {{}, 3},
        {{QString("4567"), {}, {}, {}}, 2},
        {{QString("4567"), QString("تهر"), {}, {}}, 1},
        {{{}, {}, {}, QString("ostan")}, 1},
        {{{}, {}, QString("نام 12"), {}}, 1},
        {{QString("%"), {}, {}, {}}, 0}, // typed pattern characters stand for themselves
    };
    for (const Case& c : cases) {
        const UserQuery q = userQuery(*db, c.filters);
        EXPECT_EQ(countUsers(*db, q), c.expected);
        QSqlQuery list = db->exec(userListSql(q), q.params);
        int rows = 0;
        while (list.next())
            ++rows;
        EXPECT_EQ(rows, c.expected);
        EXPECT_EQ(list.record().indexOf("ps"), -1);
    }
}

TARVEST_FOR_EACH_DATABASE(UsersTest);
