// The sample province for trying the program: every screen finds data, every level
// can log in, and a database that holds cases is refused untouched; on both kinds.
#include "admin/core/sampledata.h"
#include "cases/core/caserules.h"
#include "cases/core/casesearch.h"
#include "common/errors.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/settinglists.h"
#include "testdb.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

qint64 count(Database& db, const QString& table)
{
    return db.scalar("SELECT count(*) FROM " + table).toLongLong();
}

qint64 casesSeenBy(Database& db, const LoginState& user)
{
    const CaseQuery q = buildCaseSearch(CaseFilters{}, user, db.kind());
    return db.scalar(q.countSql, q.params).toLongLong();
}

class SampleData : public DbTest {};

TEST_P(SampleData, FreshDatabaseGetsAProvinceUsersOfEveryLevelAndCases)
{
    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    const SampleSummary s = fillSampleData(*db);
    EXPECT_GE(s.villages, 20);
    EXPECT_GE(s.cases, 24);
    EXPECT_EQ(count(*db, "komision"), s.cases);
    EXPECT_EQ(count(*db, "abadiha"), s.villages);

    // Every list of the settings screen has its values; the delete password one.
    for (const QString& list : settingListNames())
        EXPECT_FALSE(settingChoices(*db, list).isEmpty()) << list.toStdString();
    EXPECT_EQ(settingChoices(*db, lists::DeletePassword).size(), 1);

    for (const char* table : {"vagozarityp", "phone", "payamha", "dastrasi2"})
        EXPECT_GT(count(*db, table), 0) << table;

    // Village codes keep their leading zero; counties have several districts.
    EXPECT_EQ(db->scalar("SELECT count(*) FROM abadiha WHERE cod LIKE '0%'").toLongLong(), s.villages);
    EXPECT_GE(db->scalar("SELECT count(DISTINCT shahrestan) FROM abadiha").toInt(), 3);

    // Each level logs in with the sample password; admin sees every case, a county
    // office only its own county's.
    const QStringList levels = {"admin",
                                "city",
                                "ostan",
                                "keshvar",
                                QStringLiteral("ثبت پرونده"),
                                QStringLiteral("امور زمين"),
                                QStringLiteral("امور فني و مطالعات"),
                                QStringLiteral("دبير كميسيون معاملات")};
    for (const QString& level : levels) {
        const QString us = db->scalar("SELECT us FROM users WHERE lev = ? ORDER BY id", {level}).toString();
        ASSERT_FALSE(us.isEmpty()) << level.toStdString();
        const LoginOutcome out = logIn(*db, us, kSamplePassword);
        ASSERT_EQ(out.result, LoginOutcome::Result::LoggedIn) << us.toStdString();
        EXPECT_EQ(out.state.level, level);
        const qint64 seen = casesSeenBy(*db, out.state);
        if (level == "admin") {
            EXPECT_EQ(seen, s.cases);
        } else if (level == "city") {
            EXPECT_GT(seen, 0) << "a county office sees its county";
            EXPECT_LT(seen, s.cases) << "and only its county";
        }
    }

    // Every case is of a county of the gazetteer, so it can be saved again as it stands,
    // and its valuation is the one the case screen computes.
    QSqlQuery q = db->exec("SELECT ostan, city, masahat_khales, metraj, takhrib_masahat FROM komision");
    while (q.next()) {
        EXPECT_TRUE(provinceHasCounty(*db, q.value(0).toString(), q.value(1).toString()));
        EXPECT_EQ(q.value(2).toDouble(), q.value(3).toDouble() - 2 * q.value(4).toDouble());
    }
    EXPECT_GT(db->scalar("SELECT count(*) FROM komision WHERE malek_varizi <> '0'").toInt(), 0);
}

TEST_P(SampleData, DatabaseWithCasesIsRefusedAndLeftAsItWas)
{
    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    db->insert("komision", {{"paper_no", "1"}, {"city", "x"}});
    EXPECT_THROW(fillSampleData(*db), Error);
    EXPECT_EQ(count(*db, "komision"), 1);
    EXPECT_EQ(count(*db, "abadiha"), 0);
    EXPECT_EQ(count(*db, "users"), 1);
}

TEST_P(SampleData, CommandFillsAnUnprovisionedDatabaseOnceThenRefuses)
{
    const QStringList args = {"sample", GetParam() == Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()};
    QProcess first;
    first.start(TARVEST_ADMIN_EXE, args);
    ASSERT_TRUE(first.waitForFinished(120000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(first.readAllStandardOutput()).contains("cases"));
    const qint64 cases = count(*db, "komision");
    EXPECT_GT(cases, 0);

    QProcess second;
    second.start(TARVEST_ADMIN_EXE, args);
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_FALSE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(count(*db, "komision"), cases);
}

TARVEST_FOR_EACH_DATABASE(SampleData);

TEST(SampleCommand, EmbeddedDatabaseOfAFreshHomeIsMadeAndFilled)
{
    QTemporaryDir home;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    p.setProcessEnvironment(env);
    p.start(TARVEST_ADMIN_EXE, {"sample", "--embedded"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString file = home.filePath("vartalis/Tarvest/tarvest.sqlite");
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_GT(Database::openSqlite(file, false)->scalar("SELECT count(*) FROM komision").toInt(), 0);
}

} // namespace
