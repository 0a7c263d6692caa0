// The embedded database a fresh installation starts on.
#include "common/errors.h"
#include "common/password.h"
#include "db/database.h"
#include "db/embedded.h"
#include "db/schema.h"
#include "testdb.h"

#include <QDir>
#include <QStandardPaths>

using namespace tarvest;

TEST(EmbeddedDatabase, FirstOpenCreatesFolderAndTablesAndAdminCanLogIn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("deep/er/tarvest.sqlite");
    {
        auto db = openEmbeddedDatabase(path);
        EXPECT_EQ(db->kind(), DbKind::Sqlite);
        for (const Table& t : schemaTables())
            EXPECT_TRUE(db->tableExists(t.name)) << t.name.toStdString();
        const QString ps = db->scalar("SELECT ps FROM users WHERE us = ?", {"admin"}).toString();
        EXPECT_TRUE(verifyPassword(ps, "1"));
        db->insert("phone", {{"name", QStringLiteral("دبيرخانه")}});
    }
    auto again = openEmbeddedDatabase(path);
    EXPECT_EQ(again->scalar("SELECT count(*) FROM users").toInt(), 1);
    EXPECT_EQ(again->scalar("SELECT count(*) FROM phone").toInt(), 1) << "a second start keeps the data";
}

TEST(EmbeddedDatabase, LivesInTheUsersDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString path = embeddedDatabasePath();
    EXPECT_TRUE(path.startsWith(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    EXPECT_TRUE(path.endsWith(".sqlite"));
    QStandardPaths::setTestModeEnabled(false);
}

TEST(EmbeddedDatabase, UnwritablePlaceIsAClearError)
{
    EXPECT_THROW(openEmbeddedDatabase("/proc/tarvest/tarvest.sqlite"), Error);
}
