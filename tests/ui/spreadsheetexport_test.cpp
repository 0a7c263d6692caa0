// The list export: a result set goes to a new workbook that opens in the desktop's program.
#include "common/spreadsheet.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "fakedialogs.h"
#include "testdb.h"
#include "widgets/spreadsheetexport.h"

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>

using namespace tarvest;
using namespace tarvest::test;

namespace {

class SpreadsheetExport : public DbTest {};

TEST_P(SpreadsheetExport, WritesTheListInItsCurrentOrderAndOpensIt)
{
    QStandardPaths::setTestModeEnabled(true);
    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    db->insert("phone", {{"name", QStringLiteral("  دبيرخانه  ")}, {"tel", "044-1"}});
    db->insert("phone", {{"name", QStringLiteral("امور اراضي")}, {"tel", "044-2"}, {"cmt", "<&>"}});
    ResultSet rs(db);
    rs.open("select * from phone");
    rs.sort("tel", Qt::DescendingOrder);

    FakeDialogs dialogs;
    const QString path = exportAndOpen(rs, "phone", {{"NAME", QStringLiteral("نام")}});
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_EQ(dialogs.opened, QStringList{path});
    EXPECT_TRUE(path.startsWith(exportFolder()));

    const SheetTable t = readSheet(path, "Sheet1");
    EXPECT_EQ(t.columns, QStringList({"id", QStringLiteral("نام"), "tel", "cmt"}));
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.rows[0][1], QStringLiteral("امور اراضي"));
    EXPECT_EQ(t.rows[0][3], "<&>");
    EXPECT_EQ(t.rows[1][1], QStringLiteral("دبيرخانه")) << "values are trimmed";

    // A second export never overwrites the first, which may still be open.
    const QString second = exportAndOpen(rs, "phone");
    EXPECT_NE(second, path);
    EXPECT_TRUE(QFileInfo::exists(path));
    QStandardPaths::setTestModeEnabled(false);
}

TEST_P(SpreadsheetExport, ALongListShowsItsProgressAndIsWrittenWhole)
{
    QStandardPaths::setTestModeEnabled(true);
    ASSERT_TRUE(provisionSucceeded(provision(*db)));
    constexpr int rows = 1000; // four pages of rows read by key
    db->begin();
    for (int i = 0; i < rows; ++i)
        db->insert("phone", {{"name", QStringLiteral("n%1").arg(i)}, {"tel", QString::number(i)}});
    db->commit();
    ResultSet rs(db);
    rs.open("select * from phone order by id");
    // Each page takes a while to read, so the walk is long enough to show its progress.
    bool progressShown = false;
    QObject::connect(&rs, &ResultSet::pageReading, [&](int) {
        QThread::msleep(200);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible())
                progressShown = true;
    });
    FakeDialogs dialogs;
    const QString path = exportAndOpen(rs, "phone");
    ASSERT_FALSE(path.isEmpty()) << dialogs.shown.join('\n').toStdString();
    EXPECT_TRUE(progressShown);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(w)) << "the progress window goes with the walk";
    const SheetTable t = readSheet(path, "Sheet1");
    ASSERT_EQ(t.rows.size(), rows);
    EXPECT_EQ(t.rows[rows - 1][1], QStringLiteral("n%1").arg(rows - 1));
    QStandardPaths::setTestModeEnabled(false);
}

TARVEST_FOR_EACH_DATABASE(SpreadsheetExport);

} // namespace
