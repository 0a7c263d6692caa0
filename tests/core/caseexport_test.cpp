// The case list export: an HTML table that lines up, reads back as typed (UTF-8,
// markup escaped), or a real workbook for .xlsx names; the result's current row stays.
#include "cases/core/caseexport.h"
#include "cases/core/casesearch.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "testdb.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tarvest;

namespace {

const QString kCaseListSql = QStringLiteral(
    "select komision.*, B.pic_count from komision left join "
    "(select cod, count(*) as pic_count from komision_pic group by cod) B on komision.pk = B.cod order by pk");

// The cells of each table row of an exported file, header row first.
struct HtmlTable {
    QStringList lines;
    QList<QStringList> rows;
    bool headerCells = false;
};

HtmlTable parse(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    HtmlTable t;
    t.lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    static const QRegularExpression cell("^<t([hd])>(.*)</t\\1>$");
    QStringList* row = nullptr;
    for (const QString& line : std::as_const(t.lines)) {
        if (line.startsWith("<tr")) {
            t.rows.append(QStringList{});
            row = &t.rows.last();
        } else if (line == "</tr>") {
            row = nullptr;
        } else if (const auto m = cell.match(line); m.hasMatch()) {
            EXPECT_TRUE(row) << line.toStdString();
            if (row)
                row->append(m.captured(2));
        }
    }
    return t;
}

QString unescape(QString s)
{
    return s.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&amp;", "&");
}

class CaseExportTest : public test::DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (!db)
            return;
        ASSERT_TRUE(provisionSucceeded(provision(*db)));
        rs.setDatabase(db);
    }
    void addCases()
    {
        const qint64 first = db->insert("komision", {{"city", "مراغه"},
                                                     {"rosta", "قره آغاج"},
                                                     {"darkhast", "<b>&\"علی\""},
                                                     {"paper_no", "123/45"},
                                                     {"ostan", "آذربايجان شرقي"}});
        db->insert("komision", {{"city", "تبريز"}, {"rosta", "باسمنج"}, {"darkhast", "رضا كريمي"}});
        db->insert("komision", {{"city", "مرند"}, {"rosta", "يكان"}, {"darkhast", "پگاه"}});
        db->insert("komision_pic", {{"cod", first}, {"ext", ".jpg"}, {"pic", QByteArray("x")}, {"cmt", "نقشه"}});
        db->insert("komision_pic", {{"cod", first}, {"ext", ".jpg"}, {"pic", QByteArray("y")}, {"cmt", "نقشه"}});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    ResultSet rs;
    QTemporaryDir dir;
};

TEST_P(CaseExportTest, ThreeCasesLineUpUnderTheirTitles)
{
    addCases();
    rs.open(kCaseListSql);
    ASSERT_EQ(rs.recordCount(), 3);
    rs.moveTo(2);
    writeCaseListHtml(rs, path("rep.xls"));
    EXPECT_EQ(rs.recNo(), 2); // the grid's selected case stays selected

    const HtmlTable t = parse(path("rep.xls"));
    ASSERT_GE(t.lines.size(), 7);
    EXPECT_EQ(t.lines.mid(0, 1), QStringList{"<html>"});
    EXPECT_TRUE(t.lines[1].contains("<meta charset=\"utf-8\">")) << t.lines[1].toStdString();
    EXPECT_TRUE(t.lines[1].contains("<title>گزارش كميسيون معاملات و تغيير كاربري زمين</title>"));
    EXPECT_EQ(t.lines[3], "<table dir=\"rtl\" border=\"1\" align=\"center\" width=\"95%\">");
    EXPECT_EQ(t.lines.mid(t.lines.size() - 4), (QStringList{"</tbody>", "</table>", "</body>", "</html>"}));

    ASSERT_EQ(t.rows.size(), 4);
    const int cells = rs.fieldCount() + 1;
    for (const QStringList& row : t.rows)
        EXPECT_EQ(row.size(), cells);
    const QStringList& header = t.rows[0];
    EXPECT_EQ(header[0], "رديف");
    const struct {
        const char* column;
        const char* title;
    } titles[] = {
        {"pk", "شناسه"},
        {"paper_no", "شماره نامه ارسال مدارك"},
        {"darkhast", "درخواست كننده/متقاضي"},
        {"tasvib_b_dat", "تاريخ برگزراي پرونده در كميته تصويب"},
        {"ostan", "استان"}, // no title in the register's table: the grid's title
        {"pic_count", "تعداد ضمائم"},
    };
    for (const auto& c : titles) {
        const int col = rs.fieldIndex(c.column);
        ASSERT_GE(col, 0) << c.column;
        EXPECT_EQ(header[col + 1], QString(c.title)) << c.column;
    }

    const int darkhast = rs.fieldIndex("darkhast") + 1, city = rs.fieldIndex("city") + 1,
              pics = rs.fieldIndex("pic_count") + 1;
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(t.rows[n][0], QString::number(n));
    EXPECT_EQ(t.rows[1][darkhast], "&lt;b&gt;&amp;&quot;علی&quot;"); // shown as typed, not as markup
    EXPECT_EQ(unescape(t.rows[1][darkhast]), "<b>&\"علی\"");
    EXPECT_EQ(t.rows[2][darkhast], "رضا كريمي");
    EXPECT_EQ(t.rows[3][city], "مرند");
    EXPECT_EQ(t.rows[1][pics].toInt(), 2);
    EXPECT_EQ(t.rows[2][pics], ""); // a case without attachments
}

TEST_P(CaseExportTest, EmptyResultGivesTheHeaderOnly)
{
    rs.open(kCaseListSql);
    writeCaseListHtml(rs, path("empty.xls"));
    const HtmlTable t = parse(path("empty.xls"));
    ASSERT_EQ(t.rows.size(), 1);
    EXPECT_EQ(t.rows[0].size(), rs.fieldCount() + 1);
    EXPECT_TRUE(t.lines.contains("<tbody>"));
}

TEST_P(CaseExportTest, XlsxNameWritesAWorkbook)
{
    addCases();
    rs.open(kCaseListSql);
    rs.last();
    writeCaseListHtml(rs, path("rep.XLSX"));
    EXPECT_EQ(rs.recNo(), 3);
    const SheetTable sheet = readSheet(path("rep.XLSX"), "Sheet1");
    ASSERT_EQ(sheet.columns.size(), rs.fieldCount());
    EXPECT_EQ(sheet.columns[rs.fieldIndex("darkhast")], "درخواست كننده/متقاضي");
    EXPECT_EQ(sheet.columns[rs.fieldIndex("pic_count")], "تعداد ضمائم");
    ASSERT_EQ(sheet.rows.size(), 3);
    EXPECT_EQ(sheet.text(0, rs.fieldIndex("darkhast")), "<b>&\"علی\"");
    EXPECT_EQ(sheet.text(2, rs.fieldIndex("rosta")), "يكان");
}

TEST_P(CaseExportTest, UnwritablePathIsAPersianError)
{
    rs.open(kCaseListSql);
    for (const QString& target : {path("no/such/folder/rep.xls"), path("no/such/folder/rep.xlsx")}) {
        try {
            writeCaseListHtml(rs, target);
            ADD_FAILURE() << target.toStdString();
        } catch (const Error& e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
        EXPECT_FALSE(QFile::exists(target));
    }
}

// Every column of a case row, and the attachment count, has a Persian title in the export
// header and in the case grid.
TEST_P(CaseExportTest, EveryColumnHasAPersianTitleInTheExportAndTheGrid)
{
    rs.open(kCaseListSql);
    QHash<QString, QString> grid;
    for (const CaseColumn& c : caseSearchColumns())
        grid.insert(QLatin1String(c.name), QString::fromUtf16(c.title));
    static const QRegularExpression persian("[\\x{0600}-\\x{06FF}]");
    ASSERT_GT(rs.fieldCount(), 50);
    for (int c = 0; c < rs.fieldCount(); ++c) {
        const QString name = rs.fieldName(c).toLower();
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(caseExportTitles().value(name).contains(persian));
        EXPECT_TRUE(grid.value(name).contains(persian));
    }
}

TARVEST_FOR_EACH_DATABASE(CaseExportTest);

} // namespace
