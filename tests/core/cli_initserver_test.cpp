// tarvest-admin init-server: preparing an office's PostgreSQL server, as its
// administrator runs it, against the test server.
#include "testdb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>

namespace {

using tarvest::Database;
using tarvest::PgParams;
using tarvest::test::Backend;

struct AdminRun {
    int code;
    QString out;
    QString err;
};

AdminRun runAdmin(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEST_ADMIN_EXE), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// What a run could change: every table with its columns, and the rows of the tables
// that receive default rows.
QStringList shapeOf(Database& db)
{
    QStringList shape;
    QSqlQuery q = db.exec(QStringLiteral("SELECT table_name, column_name, data_type, character_maximum_length "
                                         "FROM information_schema.columns WHERE table_schema = current_schema() "
                                         "ORDER BY table_name, ordinal_position"));
    while (q.next())
        shape << QStringLiteral("%1.%2 %3 %4")
                     .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString());
    for (const char* table : {"users", "dastrasi"})
        shape << QStringLiteral("%1 rows %2")
                     .arg(QLatin1String(table))
                     .arg(db.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))).toInt());
    return shape;
}

class AdminInitServer : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        if (!tarvest::test::postgresAvailable())
            GTEST_SKIP() << "no PostgreSQL server given (TARVEST_TEST_PG)";
        server = PgParams::parse(qEnvironmentVariable("TARVEST_TEST_PG"));
        // A name that must be quoted as an identifier: a hyphen and a capital letter.
        office = server;
        office.database = QStringLiteral("Tarvest-office_%1").arg(QCoreApplication::applicationPid());
        dropOffice();
    }
    void TearDown() override
    {
        if (!office.database.isEmpty())
            dropOffice();
    }
    void dropOffice()
    {
        auto admin = Database::openPostgres(server);
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(office.database));
    }
    bool officeExists()
    {
        auto admin = Database::openPostgres(server);
        return admin->scalar(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"), {office.database}).isValid();
    }
    QString conninfo() const
    {
        QString c = office.toConninfo();
        if (!office.password.isEmpty())
            c += QStringLiteral(" password=") + office.password;
        return c;
    }

    PgParams server;
    PgParams office;
};

TEST_P(AdminInitServer, CreatesAndProvisionsThenASecondRunChangesNothing)
{
    ASSERT_FALSE(officeExists());
    const AdminRun first = runAdmin({QStringLiteral("init-server"), QStringLiteral("--pg"), conninfo()});
    ASSERT_EQ(first.code, 0) << first.err.toStdString() << first.out.toStdString();
    ASSERT_TRUE(officeExists());
    const QStringList lines = first.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("database %1: created").arg(office.database));
    EXPECT_TRUE(lines.contains(QStringLiteral("users: created"))) << first.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("komision: created"))) << first.out.toStdString();
    EXPECT_FALSE(first.out.contains(QStringLiteral("failed")));
    const QString workstationLine = QStringLiteral("workstations connect with: host=%1 port=%2 dbname=%3 user=%4")
                                        .arg(office.host)
                                        .arg(office.port)
                                        .arg(office.database, office.user);
    EXPECT_TRUE(lines.contains(workstationLine)) << first.out.toStdString();

    // The printed line opens the provisioned database, and its administrator is there.
    auto db = Database::openPostgres(workstationLine.section(QStringLiteral(": "), 1)
                                     + (office.password.isEmpty() ? QString() : " password=" + office.password));
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT count(*) FROM users WHERE us = 'admin'")).toInt(), 1);
    const QStringList before = shapeOf(*db);

    const AdminRun second = runAdmin({QStringLiteral("init-server"), QStringLiteral("--pg"), conninfo()});
    ASSERT_EQ(second.code, 0) << second.err.toStdString();
    const QStringList again = second.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(again.first(), QStringLiteral("database %1: already present").arg(office.database));
    EXPECT_FALSE(second.out.contains(QStringLiteral(": created"))) << second.out.toStdString();
    EXPECT_FALSE(second.out.contains(QStringLiteral("added:"))) << second.out.toStdString();
    EXPECT_FALSE(second.out.contains(QStringLiteral("widened:"))) << second.out.toStdString();
    EXPECT_TRUE(again.contains(workstationLine));
    EXPECT_EQ(shapeOf(*db), before);
}

TEST_P(AdminInitServer, RefusesWhatItCannotDo)
{
    PgParams noName = office;
    noName.database.clear();
    PgParams closedPort = office;
    closedPort.host = QStringLiteral("127.0.0.1");
    closedPort.port = 1;
    const struct {
        QStringList args;
        int code;
    } cases[] = {
        {{}, 2},
        {{QStringLiteral("--sqlite"), QStringLiteral("/tmp/x.sqlite")}, 2},
        {{QStringLiteral("--pg")}, 2},
        {{QStringLiteral("--pg"), noName.toConninfo()}, 2},
        {{QStringLiteral("--pg"), closedPort.toConninfo()}, 1},
    };
    for (const auto& c : cases) {
        const AdminRun r = runAdmin(QStringList{QStringLiteral("init-server")} + c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    EXPECT_FALSE(officeExists());
}

// The command exists for servers alone; the suite is named per database kind like the
// other database tests, so the runs without a server leave it out.
INSTANTIATE_TEST_SUITE_P(Db, AdminInitServer, ::testing::Values(Backend::Postgres),
                         [](const auto& info) { return tarvest::test::backendName(info.param); });

} // namespace
