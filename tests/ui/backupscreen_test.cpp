// The backup screen on both databases: "ايجاد فايل" writes the day's backup of the
// connected database into the chosen folder ("_2" for a second one the same day) and says
// so; a folder that cannot take it gives the message with the reason and leaves no file.
#include "admin/backupscreen.h"
#include "admin/core/backup.h"
#include "app/mainwindow.h"
#include "common/clock.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "testdb.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kDone = QStringLiteral("فايل پشتيبان تهيه شد");
const QString kFailed = QStringLiteral("خطا! لطفا از مسير داده شده مطمئن شويد");

class BackupScreenTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->insert("phone", {{"name", QStringLiteral("دفتر شهرستان")}, {"tel", "04432222222"}});
        // 1 Dey 1403.
        Clock::setFixed(QDateTime(QDate(2024, 12, 21), QTime(9, 0)));
        session.setDatabase(tmp->openAnother());
        screen = std::make_unique<Tbackup>(session);
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    QStringList files(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    Session session;
    FakeDialogs dialogs;
    QTemporaryDir folder;
    std::unique_ptr<Tbackup> screen;
};

TEST_P(BackupScreenTest, CreatesTheDaysFileAndASecondOneBesideIt)
{
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("پشتيبان گيري"));
    EXPECT_EQ(screen->findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("ايجاد فايل"));
    EXPECT_EQ(screen->findChild<QLabel*>("Label1")->text(), QStringLiteral("محل فايل پشتيبان را مشخص نماييد:"));
    ASSERT_TRUE(screen->findChild<QTreeView*>("ShellTreeView1"));

    screen->setFolder(folder.path());
    screen->findChild<QPushButton*>("BitBtn1")->click();
    EXPECT_EQ(dialogs.shown, QStringList{kDone});
    EXPECT_EQ(screen->lastWritten(), QDir(folder.path()).filePath("pelarin1403_10_01"));
    screen->createBackup();
    EXPECT_EQ(dialogs.shown, (QStringList{kDone, kDone}));
    EXPECT_EQ(files(folder.path()), (QStringList{"pelarin1403_10_01", "pelarin1403_10_01_2"}));
    EXPECT_EQ(backupKind(screen->lastWritten()),
              GetParam() == Backend::Sqlite ? BackupKind::Sqlite : BackupKind::Postgres);
}

TEST_P(BackupScreenTest, AFolderThatCannotBeWrittenGivesTheMessageAndNoFile)
{
    QFile plain(folder.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString& target : {QString(), folder.filePath("missing"), plain.fileName()}) {
        dialogs.shown.clear();
        screen->setFolder(target);
        screen->createBackup();
        ASSERT_EQ(dialogs.shown.size(), 1) << target.toStdString();
        EXPECT_TRUE(dialogs.shown[0].startsWith(kFailed + "\n")) << dialogs.shown[0].toStdString();
        EXPECT_GT(dialogs.shown[0].size(), kFailed.size() + 3); // the reason follows
    }
    EXPECT_EQ(files(folder.path()), QStringList{"plain"});
}

TARVEST_FOR_EACH_DATABASE(BackupScreenTest);

} // namespace
