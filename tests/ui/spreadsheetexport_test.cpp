// The list export: the clerk says where the workbook goes (the save dialog starts in the
// documents folder, then in the folder of the last export), it is written there and opens
// in the desktop's program; where the desktop has none for .xlsx, the message names the file.
#include "common/safefile.h"
#include "common/spreadsheet.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "fakedesktop.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/spreadsheetexport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

using namespace tarvest;
using namespace tarvest::test;

namespace {

const QString kXlsxType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

class SpreadsheetExport : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        db->insert("phone", {{"name", QStringLiteral("  دبيرخانه  ")}, {"tel", "044-1"}});
        db->insert("phone", {{"name", QStringLiteral("امور اراضي")}, {"tel", "044-2"}, {"cmt", "<&>"}});
        rs.setDatabase(db);
        rs.open("select * from phone");
    }
    ResultSet rs;
    FakeDialogs dialogs;
    FakeDesktop desktop;
    QTemporaryDir dir;
};

TEST_P(SpreadsheetExport, WritesTheListWhereTheClerkSaidAndOpensIt)
{
    rs.sort("tel", Qt::DescendingOrder);
    // The first export of the run starts in the documents folder, the list's name proposed.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString chosen = dir.filePath(QStringLiteral("فهرست تلفن.xlsx"));
    dialogs.files.enqueue(chosen);
    const QString path = exportAndOpen(rs, "phone", {{"NAME", QStringLiteral("نام")}});
    ASSERT_EQ(path, chosen) << dialogs.shown.join('\n').toStdString();
    ASSERT_EQ(dialogs.suggestedNames.size(), 1);
    EXPECT_EQ(dialogs.suggestedNames[0],
              QDir(documents.isEmpty() ? QDir::homePath() : documents).filePath("phone.xlsx"));
    EXPECT_EQ(dialogs.opened, QStringList{chosen});
    EXPECT_EQ(desktop.asked, QStringList{kXlsxType});
    EXPECT_TRUE(dialogs.shown.isEmpty());

    const SheetTable t = readSheet(chosen, "Sheet1");
    EXPECT_EQ(t.columns, QStringList({"id", QStringLiteral("نام"), "tel", "cmt"}));
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.rows[0][1], QStringLiteral("امور اراضي"));
    EXPECT_EQ(t.rows[0][3], "<&>");
    EXPECT_EQ(t.rows[1][1], QStringLiteral("دبيرخانه")) << "values are trimmed";

    // The next export starts where the last one was saved; cancelling it writes nothing.
    exportAndOpen(rs, "phone");
    ASSERT_EQ(dialogs.suggestedNames.size(), 2);
    EXPECT_EQ(dialogs.suggestedNames[1], dir.filePath("phone.xlsx"));
    EXPECT_EQ(dialogs.opened.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_P(SpreadsheetExport, NoProgramForTheFileTypeIsSaidWithThePath)
{
    const QString chosen = dir.filePath(QStringLiteral("گزارش/phone.xlsx"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(chosen).path()));
    struct Desktop {
        std::optional<QString> program; // what the desktop says is set for .xlsx
        bool openerStarts;
        bool opened; // whether the opener is asked to open the file
    } desktops[] = {
        {QString(), true, false},                                  // none set: the opener is not even tried
        {QStringLiteral("libreoffice-calc.desktop"), false, true}, // set, but the opener does not start
        {std::nullopt, false, true},                               // the desktop cannot be asked
    };
    for (const Desktop& d : desktops) {
        SCOPED_TRACE(d.program.value_or("(unknown)").toStdString());
        dialogs.shown.clear();
        dialogs.opened.clear();
        desktop.program = d.program;
        dialogs.canOpen = d.openerStarts;
        dialogs.files.enqueue(chosen);
        EXPECT_EQ(exportAndOpen(rs, "phone"), chosen);
        EXPECT_EQ(dialogs.opened.isEmpty(), !d.opened);
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_TRUE(dialogs.shown[0].contains(shownPath(chosen))) << dialogs.shown[0].toStdString();
        EXPECT_EQ(dialogs.shown[0], noProgramMessage(chosen));
        EXPECT_EQ(readSheet(chosen, "Sheet1").rows.size(), 2) << "the file is where the dialog said";
    }
}

TEST_P(SpreadsheetExport, ALongListShowsItsProgressAndIsWrittenWhole)
{
    constexpr int rows = 1000; // four pages of rows read by key
    db->begin();
    for (int i = 0; i < rows; ++i)
        db->insert("phone", {{"name", QStringLiteral("n%1").arg(i)}, {"tel", QString::number(i)}});
    db->commit();
    ResultSet rs(db);
    rs.open("select * from phone where name like 'n%' order by id");
    // Each page takes a while to read, so the walk is long enough to show its progress.
    bool progressShown = false;
    QObject::connect(&rs, &ResultSet::pageReading, [&](int) {
        QThread::msleep(200);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible())
                progressShown = true;
    });
    dialogs.files.enqueue(dir.filePath("phone.xlsx"));
    const QString path = exportAndOpen(rs, "phone");
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_TRUE(progressShown);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(w)) << "the progress window goes with the walk";
    const SheetTable t = readSheet(path, "Sheet1");
    ASSERT_EQ(t.rows.size(), rows);
    EXPECT_EQ(t.rows[rows - 1][1], QStringLiteral("n%1").arg(rows - 1));
}

TARVEST_FOR_EACH_DATABASE(SpreadsheetExport);

} // namespace
