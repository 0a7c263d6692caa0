// The case list export: an HTML table that lines up, reads back as typed (UTF-8,
// markup escaped), or a real workbook for .xlsx names; the result's current row stays.
#include "cases/core/caseexport.h"
#include "cases/core/casesearch.h"
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "db/database.h"
#include "db/provision.h"
#include "db/resultset.h"
#include "libreoffice.h"
#include "pyhelpers.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
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
    static const QRegularExpression cell("^<t([hd])(?: [^>]*)?>(.*)</t\\1>$");
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

namespace {

// Adds below the table of argv[1] a =SUM of each column headed by argv[3:], saved as argv[2].
const char* kAddSums = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
heads = [c.value for c in ws[1]]
last = ws.max_row
for title in sys.argv[3:]:
    col = openpyxl.utils.get_column_letter(heads.index(title) + 1)
    ws[col + str(last + 1)] = "=SUM(%s2:%s%d)" % (col, col, last)
wb.save(sys.argv[2])
)PY";

// The cells of each column headed by argv[2:], rows 2 on, as [value, type, number format],
// of the first sheet of argv[1] as the file holds them (computed values of formulas).
const char* kColumns = R"PY(
import sys, json, openpyxl
ws = openpyxl.load_workbook(sys.argv[1], data_only=True).worksheets[0]
heads = [c.value for c in ws[1]]
out = {}
for title in sys.argv[2:]:
    col = heads.index(title) + 1
    out[title] = [[ws.cell(row=r, column=col).value, ws.cell(row=r, column=col).data_type,
                   ws.cell(row=r, column=col).number_format] for r in range(2, ws.max_row + 1)]
print(json.dumps(out))
)PY";

} // namespace

// Both forms of the export opened in LibreOffice, as an office opens them: amounts and
// areas are number cells (stored as text, grouped or not, in either script) that =SUM
// totals to the stored amounts' total; codes and phone numbers keep their leading zeros.
TEST_P(CaseExportTest, LibreOfficeTotalsTheAmountsAndKeepsTheCodes)
{
    if (!tarvest::testing::haveLibreOffice())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed";
    const struct {
        const char *pardakhti, *arzesh, *khales, *cod, *phone;
    } cases[] = {
        {"1250000", "987654321098765", "1250.75", "050101010", "09131000000"},
        {"۲٬۵۰۰٬۰۰۰", "12,500,000,000", "۳۰۰٫۵", "0601", "041-33334444"},
        {" 3,000,000 ", "", "", "050101011", "09141234567"},
        {"نامعلوم", "0", "0.25", "", ""},
    };
    for (const auto& c : cases)
        db->insert("komision", {{"city", "تبريز"},
                                {"malek_pardakhti", QString::fromUtf8(c.pardakhti)},
                                {"melk_arzesh", QString::fromUtf8(c.arzesh)},
                                {"masahat_khales", QString::fromUtf8(c.khales)},
                                {"abadi_cod", c.cod},
                                {"phone", c.phone}});
    // The totals of the stored texts: 1,250,000 + 2,500,000 + 3,000,000 rials;
    // 987,654,321,098,765 + 12,500,000,000 rials; 1250.75 + 300.5 + 0.25 square metres.
    const double totalPaid = 6750000, totalValue = 987666821098765, totalArea = 1551.5;
    rs.open(kCaseListSql, {}, "komision"); // as the case search names its result

    const QString paid = caseExportTitles()["malek_pardakhti"], value = caseExportTitles()["melk_arzesh"],
                  area = caseExportTitles()["masahat_khales"], cod = caseExportTitles()["abadi_cod"],
                  phone = caseExportTitles()["phone"];
    writeCaseListHtml(rs, path("rep.xlsx"));
    writeCaseListHtml(rs, path("rep.xls"));
    const tarvest::testing::PythonResult added = tarvest::testing::runPython(
        QString::fromUtf8(kAddSums), {path("rep.xlsx"), path("sums.xlsx"), paid, value, area});
    ASSERT_EQ(added.exitCode, 0) << added.err.constData();
    const QString out = path("calc");
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(tarvest::testing::convertWithLibreOffice({path("sums.xlsx"), path("rep.xls")}, "xlsx", out));

    for (const QString& form : {QStringLiteral("sums.xlsx"), QStringLiteral("rep.xlsx")}) {
        SCOPED_TRACE(form.toStdString());
        const QJsonObject cols = tarvest::testing::runPythonJson(
                                     QString::fromUtf8(kColumns),
                                     {QDir(out).filePath(form), paid, value, area, cod, phone})
                                     .toObject();
        ASSERT_FALSE(cols.isEmpty());
        const auto at = [&](const QString& title, int row) { return cols[title].toArray()[row].toArray(); };
        const QStringList codes{"050101010", "0601", "050101011"}, phones{"09131000000", "041-33334444", "09141234567"};
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(at(cod, r)[0].toString(), codes[r]);
            EXPECT_EQ(at(cod, r)[1].toString(), "s");
            EXPECT_EQ(at(phone, r)[0].toString(), phones[r]);
            EXPECT_EQ(at(phone, r)[1].toString(), "s");
            EXPECT_EQ(at(paid, r)[1].toString(), "n") << r;
            EXPECT_EQ(at(paid, r)[2].toString(), "#,##0") << r;
        }
        EXPECT_EQ(at(paid, 3)[0].toString(), "نامعلوم");          // a text that is no number stays as typed
        EXPECT_EQ(at(value, 0)[0].toDouble(), 987654321098765.0); // all 15 digits
        EXPECT_EQ(at(area, 1)[0].toDouble(), 300.5);
        if (form == "sums.xlsx") { // the =SUM row LibreOffice computed
            EXPECT_EQ(at(paid, 4)[0].toDouble(), totalPaid);
            EXPECT_EQ(at(value, 4)[0].toDouble(), totalValue);
            EXPECT_DOUBLE_EQ(at(area, 4)[0].toDouble(), totalArea);
        } else { // the HTML table: every figure a number, so the column totals as well
            double sumPaid = 0, sumValue = 0, sumArea = 0;
            for (int r = 0; r < 4; ++r) {
                sumPaid += at(paid, r)[0].toDouble();
                sumValue += at(value, r)[0].toDouble();
                sumArea += at(area, r)[0].toDouble();
            }
            EXPECT_EQ(sumPaid, totalPaid);
            EXPECT_EQ(sumValue, totalValue);
            EXPECT_DOUBLE_EQ(sumArea, totalArea);
        }
    }
}

TARVEST_FOR_EACH_DATABASE(CaseExportTest);

} // namespace
