// A server that restarts while the program runs: the next search reopens the
// connection and runs, a save during the outage says why it failed, and a save
// after the server is back goes through. The test starts a server of its own, so
// restarting it disturbs no other test.
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "testdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>

using namespace tarvest;

namespace {

class ServerRestart : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::postgresAvailable())
            GTEST_SKIP() << "no PostgreSQL server given (TARVEST_TEST_PG)";
        m_dir = QDir::tempPath()
                + QStringLiteral("/tarvest-restart-%1-%2")
                      .arg(QCoreApplication::applicationPid())
                      .arg(QRandomGenerator::global()->generate());
        m_conninfo = helper("start").trimmed();
        ASSERT_FALSE(m_conninfo.isEmpty());
    }
    void TearDown() override
    {
        if (!m_dir.isEmpty())
            helper("stop");
    }
    QString helper(const char* command)
    {
        QProcess p;
        p.start("bash", {QStringLiteral(TARVEST_SCRIPTS_DIR "/pg-throwaway.sh"), QString::fromLatin1(command), m_dir});
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << command << ": " << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    void addValue(Database& db, const QString& value)
    {
        db.insert("setting", {{"component", "فهرست"}, {"cmt", value}});
    }

    QString m_dir;
    QString m_conninfo;
};

// The message of a failure, which must carry the reason after its opening words.
QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST_F(ServerRestart, SearchRunsAgainAfterARestartAndASaveDuringTheOutageSaysWhy)
{
    auto db = Database::openPostgres(m_conninfo);
    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    addValue(*db, "یک");
    ResultSet found(db.get());
    const QString search = "SELECT * FROM setting WHERE component = ? ORDER BY id";
    found.open(search, {"فهرست"});
    ASSERT_EQ(found.recordCount(), 1);

    helper("restart");
    EXPECT_NO_THROW(found.open(search, {"فهرست"})) << "a search reopens the connection and runs again";
    EXPECT_EQ(found.recordCount(), 1);

    helper("halt");
    const QString duringOutage = failureOf([&] { addValue(*db, "دو"); });
    EXPECT_TRUE(duringOutage.contains("قطع")) << duringOutage.toStdString();
    EXPECT_TRUE(duringOutage.contains("connect", Qt::CaseInsensitive))
        << "the server's reason: " << duringOutage.toStdString();
    const QString searchDuringOutage = failureOf([&] { found.open(search, {"فهرست"}); });
    EXPECT_TRUE(searchDuringOutage.contains("connect", Qt::CaseInsensitive)) << searchDuringOutage.toStdString();

    helper("restart");
    EXPECT_NO_THROW(addValue(*db, "سه")) << "the retry after the server is back goes through";

    // A save on a connection the restart broke: refused with the reason, never
    // silently run twice; the retry goes through.
    helper("restart");
    const QString broken = failureOf([&] { addValue(*db, "چهار"); });
    EXPECT_TRUE(broken.contains("قطع")) << broken.toStdString();
    EXPECT_FALSE(broken.trimmed().endsWith(':')) << broken.toStdString();
    EXPECT_NO_THROW(addValue(*db, "چهار"));
    found.open(search, {"فهرست"});
    QStringList values;
    for (found.first(); !found.eof(); found.next())
        values << found.asString("cmt");
    EXPECT_EQ(values, (QStringList{"یک", "سه", "چهار"}));
}

TEST(StatementFailure, MessageAlwaysCarriesTheReason)
{
    for (test::Backend backend : test::allBackends()) {
        test::TempDatabase tmp(backend);
        if (!tmp.db())
            continue;
        const QString message = failureOf([&] { tmp.db()->exec("SELECT * FROM no_such_table"); });
        const QString prefix = "خطا در اجرای دستور بانک اطلاعاتی: ";
        ASSERT_TRUE(message.startsWith(prefix)) << message.toStdString();
        EXPECT_TRUE(message.mid(prefix.size()).contains("no_such_table")) << message.toStdString();
    }
}

} // namespace
