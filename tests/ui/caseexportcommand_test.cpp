// The case search's export command: the save dialog, writing, opening, and failures.
#include "cases/caseexportcommand.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "fakedesktop.h"
#include "fakedialogs.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

class CaseExportCommandTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        for (const char* rosta : {"باسمنج", "يكان"})
            db->insert("komision", {{"city", "تبريز"}, {"rosta", rosta}});
        rs.setDatabase(db);
        rs.open("select komision.*, B.pic_count from komision left join "
                "(select cod, count(*) as pic_count from komision_pic group by cod) B "
                "on komision.pk = B.cod order by pk");
        rs.first();
    }
    ResultSet rs;
    test::FakeDialogs dialogs;
    test::FakeDesktop desktop;
    QTemporaryDir dir;
};

TEST_P(CaseExportCommandTest, WritesTheChosenFileAndOpensIt)
{
    const QString path = dir.filePath("rep.xls");
    dialogs.files.enqueue(path);
    exportCasesWithDialog(rs);
    // The workbook is offered first, in the folder the dialog starts in.
    ASSERT_EQ(dialogs.suggestedNames.size(), 1);
    EXPECT_EQ(QFileInfo(dialogs.suggestedNames[0]).fileName(), "rep.xlsx");
    EXPECT_EQ(dialogs.opened, QStringList{path});
    EXPECT_TRUE(dialogs.shown.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("<td>يكان</td>"));
    EXPECT_EQ(rs.recNo(), 1);
}

TEST_P(CaseExportCommandTest, CancelOrAFailedWriteOpensNothing)
{
    exportCasesWithDialog(rs); // cancelled
    EXPECT_TRUE(dialogs.opened.isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());

    for (const QString& bad : {dir.filePath("missing/rep.xls"), dir.filePath("missing/rep.xlsx")}) {
        dialogs.shown.clear();
        dialogs.files.enqueue(bad);
        exportCasesWithDialog(rs);
        EXPECT_TRUE(dialogs.opened.isEmpty());
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_TRUE(dialogs.shown[0].contains(bad)) << dialogs.shown[0].toStdString(); // names the file
        // in reading order (isolated left to right) and with the reason
        EXPECT_TRUE(dialogs.shown[0].contains(QChar(0x2066) + bad + QChar(0x2069)));
        EXPECT_TRUE(dialogs.shown[0].contains(QStringLiteral("پوشه وجود ندارد"))) << dialogs.shown[0].toStdString();
    }

    // Written, but nothing on the desktop opens it: the message shows the path in reading order.
    const QString written = dir.filePath(QStringLiteral("گزارش/rep.xls"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(written).path()));
    dialogs.shown.clear();
    dialogs.canOpen = false;
    dialogs.files.enqueue(written);
    exportCasesWithDialog(rs);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].contains(QChar(0x2066) + written + QChar(0x2069))) << dialogs.shown[0].toStdString();
    EXPECT_TRUE(QFile::exists(written));

    // No program set for the type on the desktop: the same message, and the opener is not tried.
    const QString workbook = dir.filePath(QStringLiteral("گزارش/rep.xlsx"));
    dialogs.shown.clear();
    dialogs.opened.clear();
    dialogs.canOpen = true;
    desktop.program = QString();
    dialogs.files.enqueue(workbook);
    exportCasesWithDialog(rs);
    EXPECT_TRUE(dialogs.opened.isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].contains(QChar(0x2066) + workbook + QChar(0x2069))) << dialogs.shown[0].toStdString();
    EXPECT_TRUE(QFile::exists(workbook));
}

TARVEST_FOR_EACH_DATABASE(CaseExportCommandTest);

} // namespace
