// Provisioning of an empty, a complete and an older database, on both kinds.
#include "common/password.h"
#include "db/database.h"
#include "db/login.h"
#include "db/provision.h"
#include "db/schema.h"
#include "testdb.h"

#include <QProcess>

using namespace tarvest;
using namespace tarvest::test;

namespace {

using Outcome = ProvisionStep::Outcome;

qint64 count(Database& db, const QString& table)
{
    return db.scalar("SELECT count(*) FROM " + table).toLongLong();
}

class ProvisionTest : public DbTest {};

TEST_P(ProvisionTest, EmptyDatabaseGetsEveryTableAndColumnThenARepeatChangesNothing)
{
    const auto first = provision(*db);
    ASSERT_EQ(first.size(), schemaTables().size());
    for (int i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].table, schemaTables()[i].name);
        EXPECT_EQ(first[i].outcome, Outcome::Created) << describe(first[i]).toStdString();
    }
    for (const Table& t : schemaTables()) {
        QStringList expected;
        for (const Column& c : t.columns)
            expected << c.name.toLower();
        EXPECT_EQ(db->columnNames(t.name), expected) << t.name.toStdString();
    }
    EXPECT_EQ(schemaTables().size(), 20);
    const Table& pictures = *findTable("komision_pic");
    const QString indexCount = db->kind() == DbKind::Sqlite
                                   ? "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = ?"
                                   : "SELECT count(*) FROM pg_indexes WHERE indexname = ?";
    EXPECT_EQ(db->scalar(indexCount, {indexName(pictures, "cod")}).toInt(), 1)
        << "pictures are counted per case by their case key";
    EXPECT_EQ(findTable("arazi")->columns.size(), 55); // key and 54 survey texts
    EXPECT_EQ(findTable("sh")->columns.size(), 54);

    const auto second = provision(*db);
    for (const ProvisionStep& s : second) {
        EXPECT_EQ(s.outcome, Outcome::AlreadyPresent) << describe(s).toStdString();
        EXPECT_TRUE(s.addedColumns.isEmpty()) << describe(s).toStdString();
    }
    EXPECT_EQ(count(*db, "users"), 1);
    EXPECT_EQ(count(*db, "dastrasi"), 11);
}

TEST_P(ProvisionTest, AdministratorCanLogInWithPasswordOne)
{
    provision(*db);
    QSqlQuery q = db->exec("SELECT id, us, ps, lev, ver, status FROM users");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value("us").toString(), "admin");
    EXPECT_EQ(q.value("ver").toString(), "1");
    EXPECT_EQ(q.value("status").toString(), QStringLiteral("فعال"));
    const QString ps = q.value("ps").toString();
    EXPECT_TRUE(isPasswordHash(ps)) << "the password is never stored in plain text";
    EXPECT_TRUE(verifyPassword(ps, "1"));
    EXPECT_FALSE(verifyPassword(ps, "2"));
    const qint64 adminId = q.value("id").toLongLong();

    // A new office reaches every screen at once: level "admin" sees every county,
    // and every page's rights are granted in full.
    EXPECT_EQ(q.value("lev").toString(), "admin");
    QSqlQuery r = db->exec("SELECT prs_id, page_name, darj, virayesh, hazf, namayesh FROM dastrasi ORDER BY id");
    QStringList pages;
    while (r.next()) {
        EXPECT_EQ(r.value(0).toLongLong(), adminId);
        pages << r.value(1).toString();
        for (int i = 2; i < 6; ++i)
            EXPECT_EQ(r.value(i).toInt(), 1) << r.value(1).toString().toStdString();
    }
    EXPECT_EQ(pages, QStringList({"komision", "asnad", "ghimat", "arazi", "seting", "vagozari", "abadiha", "phone",
                                  "karbaran", "kom_z", "zamaem"}));
}

TEST_P(ProvisionTest, OlderDatabaseReceivesMissingColumnsButNoDefaultRows)
{
    // A database made by the old provisioning: users without the personal columns
    // and no administrator row; komision without the later columns; no land tables.
    db->exec(
        "CREATE TABLE users (id integer PRIMARY KEY, us varchar(25), ps varchar(25), lev varchar(25), ver varchar(25))");
    db->exec("CREATE TABLE komision (pk integer PRIMARY KEY, paper_no varchar(30), city varchar(30))");
    db->exec("INSERT INTO komision (pk, paper_no, city) VALUES (7, '12/5', 'x')");

    const auto steps = provision(*db);
    QMap<QString, ProvisionStep> byTable;
    for (const ProvisionStep& s : steps)
        byTable.insert(s.table, s);

    EXPECT_EQ(byTable["users"].outcome, Outcome::AlreadyPresent);
    EXPECT_EQ(byTable["users"].addedColumns, QStringList({"nam", "ostan", "semat", "mobile", "status"}));
    EXPECT_EQ(count(*db, "users"), 0) << "default rows go in only with a newly created table";
    EXPECT_EQ(byTable["komision"].outcome, Outcome::AlreadyPresent);
    EXPECT_TRUE(byTable["komision"].addedColumns.contains("taeid_zamin"));
    EXPECT_TRUE(byTable["komision"].addedColumns.contains("ostan"));
    EXPECT_TRUE(byTable["komision"].addedColumns.contains("sel"));
    EXPECT_FALSE(byTable["komision"].addedColumns.contains("paper_no"));
    EXPECT_EQ(byTable["arazi"].outcome, Outcome::Created);
    EXPECT_EQ(byTable["dastrasi"].outcome, Outcome::Created);
    EXPECT_EQ(count(*db, "dastrasi"), 0) << "no rights for a user the database does not hold";
    EXPECT_EQ(db->scalar("SELECT paper_no FROM komision WHERE pk = 7").toString(), "12/5");
    EXPECT_TRUE(describe(byTable["users"]).startsWith("users: already present (added: nam,"));
}

TEST_P(ProvisionTest, ServerColumnsNarrowerThanNeededAreWidenedAndAdminThenLogsIn)
{
    if (db->kind() != DbKind::Postgres)
        GTEST_SKIP() << "a SQLite file keeps the widths of the table it was made with";
    // An older server database: the password column of 25 characters, the administrator
    // with a plain password that the first login replaces by its hash.
    db->exec("CREATE TABLE users (id serial PRIMARY KEY, us varchar(25), ps varchar(25), lev varchar(25), "
             "ver varchar(25), nam varchar(50), status varchar(25))");
    db->exec("INSERT INTO users (us, ps, lev, ver, status) VALUES ('admin', '1', 'ostan', '1', ?)",
             {QStringLiteral("فعال")});

    EXPECT_TRUE(findUser(*db, "admin", "1").has_value()) << "a column too narrow for the hash never locks a user out";
    EXPECT_EQ(db->scalar("SELECT ps FROM users WHERE us = 'admin'").toString(), "1");

    const auto steps = provision(*db);
    const ProvisionStep& users = steps.front();
    ASSERT_EQ(users.table, "users");
    EXPECT_EQ(users.outcome, Outcome::AlreadyPresent) << describe(users).toStdString();
    EXPECT_EQ(users.widenedColumns, QStringList{"ps to 128"});
    EXPECT_TRUE(describe(users).contains("widened: ps to 128")) << describe(users).toStdString();
    EXPECT_EQ(db->scalar("SELECT character_maximum_length FROM information_schema.columns "
                         "WHERE table_name = 'users' AND column_name = 'ps'")
                  .toInt(),
              128);

    for (int attempt = 0; attempt < 2; ++attempt) // the plain password, then its stored hash
        EXPECT_EQ(logIn(*db, "admin", "1").result, LoginOutcome::Result::LoggedIn) << "login " << attempt;
    EXPECT_TRUE(isPasswordHash(db->scalar("SELECT ps FROM users WHERE us = 'admin'").toString()));

    for (const ProvisionStep& s : provision(*db))
        EXPECT_TRUE(s.widenedColumns.isEmpty()) << describe(s).toStdString();
}

TEST_P(ProvisionTest, ExistingUsersAndRightsStayAsTheyAre)
{
    // An office's database made before: its administrator at level "ostan" with the
    // users page only. Provisioning again never raises anyone's level or rights.
    provision(*db);
    db->exec("UPDATE users SET lev = 'ostan'");
    db->exec("DELETE FROM dastrasi WHERE page_name <> 'karbaran'");
    const auto steps = provision(*db);
    EXPECT_TRUE(provisionSucceeded(steps));
    EXPECT_EQ(db->scalar("SELECT lev FROM users WHERE us = 'admin'").toString(), "ostan");
    EXPECT_EQ(count(*db, "dastrasi"), 1);
}

TEST_P(ProvisionTest, FailureIsReportedWithItsReasonAndTheOtherTablesStillGetMade)
{
    // Something else already carries the name of a table.
    db->exec("CREATE VIEW sh AS SELECT 1 AS a");
    const auto steps = provision(*db);
    EXPECT_FALSE(provisionSucceeded(steps));
    int failed = 0;
    for (const ProvisionStep& s : steps) {
        if (s.table == "sh") {
            EXPECT_EQ(s.outcome, Outcome::Failed);
            EXPECT_FALSE(s.reason.isEmpty());
            EXPECT_TRUE(describe(s).startsWith("sh: failed: "));
            ++failed;
        } else {
            EXPECT_EQ(s.outcome, Outcome::Created) << describe(s).toStdString();
        }
    }
    EXPECT_EQ(failed, 1);
}

TARVEST_FOR_EACH_DATABASE(ProvisionTest);

class AdminProvisionCommand : public DbTest {};

TEST_P(AdminProvisionCommand, PrintsPerTableOutcomeAndIsRepeatable)
{
    const QStringList args = {"provision", GetParam() == Backend::Sqlite ? "--sqlite" : "--pg", tmp->location()};
    for (const char* expected : {": created\n", ": already present\n"}) {
        QProcess p;
        p.start(TARVEST_ADMIN_EXE, args);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
        EXPECT_EQ(out.count(expected), schemaTables().size()) << out.toStdString();
        EXPECT_TRUE(out.startsWith("users:")) << out.toStdString();
    }
    EXPECT_EQ(count(*db, "users"), 1);
}

TARVEST_FOR_EACH_DATABASE(AdminProvisionCommand);

TEST(AdminProvisionCommandErrors, BadArgumentsAndUnreachableServerFailClearly)
{
    struct Case {
        QStringList args;
        int exit;
    };
    const Case cases[] = {
        {{"provision"}, 2},
        {{"provision", "--mysql", "x"}, 2},
        {{"provision", "--pg", "host=127.0.0.1 port=1 dbname=x user=x"}, 1},
    };
    for (const Case& c : cases) {
        QProcess p;
        p.start(TARVEST_ADMIN_EXE, c.args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), c.exit) << c.args.join(' ').toStdString();
        EXPECT_FALSE(p.readAllStandardError().isEmpty());
    }
}

} // namespace
