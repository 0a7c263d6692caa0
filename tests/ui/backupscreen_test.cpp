// The backup screen on both databases: "ايجاد فايل" writes the day's backup of the
// connected database into the chosen folder ("_2" for a second one the same day) and says
// so; a folder that cannot take it gives the message with the reason and leaves no file.
#include "admin/backupscreen.h"
#include "admin/core/backup.h"
#include "app/mainwindow.h"
#include "common/clock.h"
#include "common/safefile.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/session.h"
#include "fakedialogs.h"
#include "testdb.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
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
    EXPECT_TRUE(screen->findChild<QLabel*>("chosenFolder")->text().contains(shownPath(folder.path())));
    screen->findChild<QPushButton*>("BitBtn1")->click();
    const QString first = QDir(folder.path()).filePath("pelarin1403_10_01");
    // The message names the file written.
    EXPECT_EQ(dialogs.shown, QStringList{kDone + "\n" + shownPath(first)});
    EXPECT_EQ(screen->lastWritten(), first);
    screen->createBackup();
    EXPECT_EQ(dialogs.shown, (QStringList{kDone + "\n" + shownPath(first), kDone + "\n" + shownPath(first + "_2")}));
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

TEST_P(BackupScreenTest, NoFolderChosenGivesTheErrorAndWritesNothing)
{
    // The tree taking the focus makes its first row current; that chooses no folder.
    const QString wasCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    screen->show();
    auto* tree = screen->findChild<QTreeView*>("ShellTreeView1");
    tree->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(screen->folder().isEmpty());
    EXPECT_EQ(screen->findChild<QLabel*>("chosenFolder")->text(),
              QStringLiteral("پوشه‌اي براي فايل پشتيبان انتخاب نشده است"));
    screen->findChild<QPushButton*>("BitBtn1")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(kFailed + "\n")) << dialogs.shown[0].toStdString();
    EXPECT_TRUE(screen->lastWritten().isEmpty());
    EXPECT_TRUE(files(folder.path()).isEmpty());
    QDir::setCurrent(wasCurrent);
}

TEST_P(BackupScreenTest, TheWindowKeepsAnsweringWhileALargeDatabaseIsBackedUp)
{
    // About 32 MB of stored files that no compression makes smaller.
    QByteArray block(16 * 1024 * 1024, '\0');
    quint32 x = 2463534242u;
    for (char& c : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    for (int i = 0; i < 2; ++i)
        db->insert("zamaem", {{"cmt", QStringLiteral("پيوست %1").arg(i)}, {"pictype", ".bin"}, {"pic", block}});
    screen->show();
    screen->setFolder(folder.path());
    auto* bar = screen->findChild<QProgressBar*>("progress");
    int ticks = 0;
    bool barShown = false, buttonDisabled = false;
    QTimer timer;
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        barShown = barShown || bar->isVisible();
        buttonDisabled = buttonDisabled || !screen->findChild<QPushButton*>("BitBtn1")->isEnabled();
        // Closing the window while the backup runs is refused.
        if (ticks == 2) {
            EXPECT_FALSE(screen->close());
        }
    });
    timer.start();
    screen->createBackup();
    timer.stop();
    EXPECT_GE(ticks, 3) << "the window's loop ran while the backup was written";
    EXPECT_TRUE(barShown);
    EXPECT_TRUE(buttonDisabled);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(screen->running());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(kDone)) << dialogs.shown[0].toStdString();
    EXPECT_GT(QFileInfo(screen->lastWritten()).size(), qint64(2) * block.size());
    EXPECT_TRUE(screen->isVisible());
}

TARVEST_FOR_EACH_DATABASE(BackupScreenTest);

} // namespace
