// tarvest-admin backup and restore end to end on both databases: the program writes the
// day's backup into a folder, and restores it into a new database with every row.
#include "admin/core/sampledata.h"
#include "common/jalali.h"
#include "db/database.h"
#include "db/provision.h"
#include "tablerows.h"
#include "testdb.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace tarvest;
using namespace tarvest::test;

namespace {

struct AdminRun {
    int code = -1;
    QString out, err;
};

AdminRun admin(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARVEST_ADMIN_EXE), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

class CliBackupTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        fillSampleData(*db);
    }
    QString option() const { return GetParam() == Backend::Sqlite ? "--sqlite" : "--pg"; }
    QTemporaryDir folder;
};

TEST_P(CliBackupTest, BackupAndRestoreEndToEnd)
{
    const AdminRun backup = admin({"backup", folder.path(), option(), tmp->location()});
    ASSERT_EQ(backup.code, 0) << backup.err.toStdString();
    const QString today = TodayJalali();
    const QString expected = QDir(folder.path())
                                 .filePath("pelarin" + today.mid(0, 4) + "_" + today.mid(5, 2) + "_" + today.mid(8, 2));
    EXPECT_EQ(backup.out, "backup written: " + expected + "\n");
    ASSERT_TRUE(QFileInfo(expected).isFile());

    // A second run the same day keeps the first.
    const AdminRun again = admin({"backup", folder.path(), option(), tmp->location()});
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, "backup written: " + expected + "_2\n");

    TempDatabase fresh(GetParam());
    const QString target = GetParam() == Backend::Sqlite ? folder.filePath("restored.sqlite") : fresh.location();
    const AdminRun restore = admin({"restore", expected, option(), target});
    ASSERT_EQ(restore.code, 0) << restore.err.toStdString();
    EXPECT_EQ(restore.out, "restored: " + expected + "\n");
    std::unique_ptr<Database> restored = GetParam() == Backend::Sqlite ? Database::openSqlite(target, false)
                                                                       : fresh.openAnother();
    EXPECT_EQ(allTableRows(*restored), allTableRows(*db));

    // Into a database that holds tables: refused, nothing changed.
    const AdminRun refused = admin({"restore", expected, option(), target});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("nothing restored")) << refused.err.toStdString();
    EXPECT_EQ(allTableRows(*restored), allTableRows(*db));
}

TEST_P(CliBackupTest, FailuresAndWrongUsage)
{
    const AdminRun missing = admin({"backup", folder.filePath("missing"), option(), tmp->location()});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains("no backup written")) << missing.err.toStdString();
    EXPECT_TRUE(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_EQ(admin({"backup", folder.path()}).code, 2);
    EXPECT_EQ(admin({"restore", "file", "--mysql", "x"}).code, 2);
}

TARVEST_FOR_EACH_DATABASE(CliBackupTest);

} // namespace
