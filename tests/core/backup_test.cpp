// Backups on both databases: a copy that restores with every row of every table, also
// while another connection writes; the day's file name and the "_2", "_3" of more
// backups the same day; a backup that fails leaves no file; restore only into an empty
// database.
#include "admin/core/backup.h"
#include "admin/core/sampledata.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/provision.h"
#include "tablerows.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <unistd.h>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kToday = QStringLiteral("1403/09/19");

// Every file in a folder, hidden ones too.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(BackupName, IsPelarinWithTheJalaliDateParts)
{
    EXPECT_EQ(backupBaseName("1392/05/12"), "pelarin1392_05_12");
    EXPECT_EQ(backupBaseName(kToday), "pelarin1403_09_19");
    EXPECT_EQ(backupDoneMessage(), QStringLiteral("فايل پشتيبان تهيه شد"));
    EXPECT_EQ(backupFailureMessage("reason"), QStringLiteral("خطا! لطفا از مسير داده شده مطمئن شويد") + "\nreason");
}

class BackupTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        fillSampleData(*db);
        // Stored files too, with every byte value.
        QByteArray bytes;
        for (int i = 0; i < 70000; ++i)
            bytes.append(char(i % 251));
        db->insert("zamaem", {{"cmt", QStringLiteral("آخرين نسخه نرم افزار")}, {"pictype", ".deb"}, {"pic", bytes}});
    }
    // Restores a backup into a new, empty database of the same kind and returns it.
    std::unique_ptr<TempDatabase> restoreIntoFresh(const QString& backup)
    {
        auto fresh = std::make_unique<TempDatabase>(GetParam());
        if (GetParam() == Backend::Sqlite) {
            const QString path = fresh->location() + ".restored";
            restoreSqliteFile(backup, path);
            restoredFile = path;
            restored = Database::openSqlite(path, false);
        } else {
            restorePostgres(backup, PgParams::parse(fresh->location()));
            restored = fresh->openAnother();
        }
        return fresh;
    }
    QTemporaryDir folder;
    QString restoredFile;
    std::unique_ptr<Database> restored;
};

TEST_P(BackupTest, RestoresIntoAFreshDatabaseWithTheSameRowsInEveryTable)
{
    const QString path = backupDatabase(*db, folder.path(), kToday);
    EXPECT_EQ(path, QDir(folder.path()).filePath("pelarin1403_09_19"));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"pelarin1403_09_19"}); // nothing else left behind
    EXPECT_EQ(backupKind(path), GetParam() == Backend::Sqlite ? BackupKind::Sqlite : BackupKind::Postgres);

    const QMap<QString, QStringList> before = allTableRows(*db);
    auto fresh = restoreIntoFresh(path);
    const QMap<QString, QStringList> after = allTableRows(*restored);
    ASSERT_EQ(after.keys(), before.keys());
    for (auto it = before.begin(); it != before.end(); ++it) {
        EXPECT_EQ(after[it.key()].size(), it.value().size()) << it.key().toStdString();
        EXPECT_EQ(after[it.key()], it.value()) << it.key().toStdString();
    }
    EXPECT_GT(before["komision"].size(), 10);
    // The restored database goes on numbering where the original stopped.
    const qint64 maxId = db->scalar("SELECT max(id) FROM phone").toLongLong();
    EXPECT_GT(restored->insert("phone", {{"name", "new"}}), maxId);
}

TEST_P(BackupTest, MoreBackupsOfTheSameDayGetASuffixAndNeverReplaceTheFirst)
{
    const QString first = backupDatabase(*db, folder.path(), kToday);
    const QByteArray firstBytes = contentOf(first);
    db->insert("phone", {{"name", "after the first backup"}});
    const QString second = backupDatabase(*db, folder.path(), kToday);
    const QString third = backupDatabase(*db, folder.path(), kToday);
    const QString next = backupDatabase(*db, folder.path(), "1403/09/20");
    EXPECT_EQ(QFileInfo(second).fileName(), "pelarin1403_09_19_2");
    EXPECT_EQ(QFileInfo(third).fileName(), "pelarin1403_09_19_3");
    EXPECT_EQ(QFileInfo(next).fileName(), "pelarin1403_09_20");
    EXPECT_EQ(contentOf(first), firstBytes);
    EXPECT_EQ(filesIn(folder.path()),
              (QStringList{"pelarin1403_09_19", "pelarin1403_09_19_2", "pelarin1403_09_19_3", "pelarin1403_09_20"}));
    // A name set free is taken again.
    QFile::remove(second);
    EXPECT_EQ(QFileInfo(backupDatabase(*db, folder.path(), kToday)).fileName(), "pelarin1403_09_19_2");
}

TEST_P(BackupTest, AFolderThatCannotTakeTheFileGivesTheReasonAndLeavesNoFile)
{
    QFile plain(folder.filePath("not-a-folder"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString readOnly = folder.filePath("read-only");
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QStringList targets{"", folder.filePath("missing"), plain.fileName()};
    if (::geteuid() != 0) // the superuser writes everywhere
        targets << readOnly;
    for (const QString& target : targets) {
        try {
            backupDatabase(*db, target, kToday);
            ADD_FAILURE() << "no error for " << target.toStdString();
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
    EXPECT_EQ(filesIn(folder.path()), QStringList{"not-a-folder"});
    EXPECT_TRUE(filesIn(readOnly).isEmpty());
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_P(BackupTest, ABackupThatFailsHalfWayLeavesNoFile)
{
    // The database goes away under the backup: pg_dump cannot reach it, or the file is
    // not a database; the temporary file was already made by then.
    if (GetParam() == Backend::Sqlite) {
        const QString broken = folder.filePath("broken.sqlite");
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
        f.close();
        const QString out = folder.filePath("out");
        QDir().mkpath(out);
        EXPECT_THROW(backupSqliteFile(broken, out, kToday), Error);
        EXPECT_TRUE(filesIn(out).isEmpty()) << filesIn(out).join(' ').toStdString();
    } else {
        PgParams p = db->pgParams();
        p.database = "tarvest_no_such_database";
        try {
            backupPostgres(p, folder.path(), kToday);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains("pg_dump")) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains("tarvest_no_such_database")) << e.message().toStdString();
        }
        EXPECT_TRUE(filesIn(folder.path()).isEmpty()) << filesIn(folder.path()).join(' ').toStdString();
    }
}

TEST_P(BackupTest, RestoreGoesOnlyIntoAnEmptyDatabaseOfItsKind)
{
    const QString path = backupDatabase(*db, folder.path(), kToday);
    const QMap<QString, QStringList> before = allTableRows(*db);
    // Not into the database it came from, nor any other that holds tables.
    if (GetParam() == Backend::Sqlite) {
        EXPECT_THROW(restoreSqliteFile(path, tmp->location()), Error);
        EXPECT_THROW(restorePostgres(path, PgParams::parse("host=127.0.0.1 dbname=x")), Error); // wrong kind
    } else {
        EXPECT_THROW(restorePostgres(path, db->pgParams()), Error);
        EXPECT_THROW(restoreSqliteFile(path, folder.filePath("new.sqlite")), Error); // wrong kind
        EXPECT_FALSE(QFile::exists(folder.filePath("new.sqlite")));
    }
    EXPECT_EQ(allTableRows(*db), before);
    // Something that is no backup at all.
    QFile junk(folder.filePath("junk"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a backup");
    junk.close();
    EXPECT_EQ(backupKind(junk.fileName()), BackupKind::Unknown);
    EXPECT_THROW(restoreIntoFresh(junk.fileName()), Error);
}

// A backup taken while another connection keeps writing is the database as of one moment:
// whole transactions only, and every row exactly as the source holds it (SQLite's online
// backup reads in one transaction; pg_dump reads one snapshot).
TEST_P(BackupTest, SqliteBackupWhileAnotherConnectionWritesIsConsistent)
{
    // Enough data that the copy takes a while.
    db->begin();
    for (int i = 0; i < 3000; ++i)
        db->insert("phone", {{"name", QStringLiteral("filler %1").arg(i)}, {"cmt", QString(120, QChar(u'ک'))}});
    db->commit();

    std::atomic<bool> stop{false};
    std::atomic<int> batches{0};
    std::string failure;
    std::thread writer([&] {
        try {
            auto mine = tmp->openAnother();
            // Each batch is ten rows in one transaction.
            for (int b = 0; !stop; ++b) {
                mine->begin();
                for (int i = 0; i < 10; ++i)
                    mine->insert("phone", {{"name", QStringLiteral("batch %1").arg(b)}, {"tel", QString::number(i)}});
                mine->commit();
                ++batches;
            }
        } catch (const Error& e) {
            failure = e.message().toStdString();
        }
    });
    while (batches < 5 && failure.empty())
        std::this_thread::yield();
    QString path;
    try {
        path = backupDatabase(*db, folder.path(), kToday);
    } catch (const Error& e) {
        ADD_FAILURE() << e.message().toStdString();
    }
    const int atBackup = batches;
    while (batches < atBackup + 5 && failure.empty())
        std::this_thread::yield();
    stop = true;
    writer.join();
    ASSERT_EQ(failure, "");
    ASSERT_FALSE(path.isEmpty());

    auto fresh = restoreIntoFresh(path);
    const int copied = restored->scalar("SELECT count(*) FROM phone WHERE name LIKE 'batch %'").toInt();
    EXPECT_EQ(copied % 10, 0) << copied;
    EXPECT_GT(copied, 0);
    EXPECT_LT(copied, db->scalar("SELECT count(*) FROM phone WHERE name LIKE 'batch %'").toInt());
    // Every table holds exactly the source's rows up to the last row copied.
    const QMap<QString, QStringList> after = allTableRows(*restored);
    const QMap<QString, QStringList> now = allTableRows(*db);
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (it.key() == "phone")
            continue;
        EXPECT_EQ(it.value(), now[it.key()]) << it.key().toStdString();
    }
    const qint64 lastCopied = restored->scalar("SELECT max(id) FROM phone").toLongLong();
    QStringList sourceRows, copiedRows;
    for (Database* d : {db, restored.get()}) {
        QSqlQuery q = d->exec("SELECT id, name, tel, cmt FROM phone WHERE id <= ? ORDER BY id", {lastCopied});
        QStringList& rows = d == db ? sourceRows : copiedRows;
        while (q.next())
            rows << q.value(0).toString() + "|" + q.value(1).toString() + "|" + q.value(2).toString() + "|"
                        + q.value(3).toString();
    }
    EXPECT_EQ(copiedRows, sourceRows);
}

TARVEST_FOR_EACH_DATABASE(BackupTest);

} // namespace
