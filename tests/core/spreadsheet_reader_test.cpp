// Reading worksheets as text tables, from files made by openpyxl, by hand-written XML,
// by python-xlwt (legacy .xls) and by our own export.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "pyhelpers.h"
#include "table_source.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tarvest;
using tarvest::testing::TableSource;

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

std::string show(const QList<QStringList>& rows)
{
    std::string out;
    for (const QStringList& r : rows)
        out += "[" + r.join(QStringLiteral("|")).toStdString() + "]\n";
    return out;
}

class SpreadsheetImport : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QString makeWithPython(const char* name, const char* script)
    {
        const QString path = file(name);
        const auto r = tarvest::testing::runPython(QString::fromUtf8(script), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return path;
    }
    QString makeBytes(const char* name, const QByteArray& bytes)
    {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    static void expectTable(const SheetTable& t, const QStringList& columns, const QList<QStringList>& rows)
    {
        EXPECT_EQ(t.columns, columns) << t.columns.join(u'|').toStdString();
        EXPECT_EQ(t.rows, rows) << show(t.rows);
    }
};

// openpyxl stores texts as shared strings and numbers as their shortest text.
const char* kOpenpyxlBook = R"PY(
import sys, openpyxl
from openpyxl.styles import Font
wb = openpyxl.Workbook()
wb.active.title = "Sheet1"
wb.active["A1"] = "other sheet"
ws = wb.create_sheet("sh")
ws["A1"] = "نام"; ws["C1"] = "مقدار"          # B1: a column without a heading
ws["A2"] = "تهران"; ws["B2"] = 42; ws["C2"] = 12.5
ws["A3"] = "  فاصله "; ws["B3"] = -0.1; ws["C3"] = True
ws["E5"] = "دور"                               # row 4 empty; a cell beyond the headings
ws["A7"].font = Font(bold=True)                # a formatted blank cell after the data
wb.save(sys.argv[1])
)PY";

// Written by hand to reach what openpyxl does not write: rich-text runs, phonetic hints,
// rows and cells without "r", formulas with cached values, error and boolean cells, an
// absolute relationship target, and a namespace prefix other than "r".
const char* kHandMadeBook = R"PY(
import sys, zipfile
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
workbook = f'''<?xml version="1.0" encoding="UTF-8"?>
<workbook {NS} xmlns:rel="{REL}"><sheets>
<sheet name="Other" sheetId="1" rel:id="rId1"/><sheet name="Data" sheetId="2" rel:id="rId7"/>
</sheets></workbook>'''
rels = '''<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId7" Type="x/worksheet" Target="/xl/worksheets/data.xml"/>
</Relationships>'''
shared = f'''<?xml version="1.0" encoding="UTF-8"?>
<sst {NS} count="2" uniqueCount="2">
<si><r><t>رنگ</t></r><r><rPr><b/></rPr><t xml:space="preserve"> آبي</t></r><rPh sb="0" eb="1"><t>hint</t></rPh></si>
<si><t>ta&lt;g</t></si></sst>'''
other = f'<worksheet {NS}><sheetData><row r="1"><c r="A1" t="s"><v>1</v></c></row></sheetData></worksheet>'
data = f'''<?xml version="1.0" encoding="UTF-8"?>
<worksheet {NS}><dimension ref="A1:E4"/><sheetData>
<row><c t="inlineStr"><is><r><t>سر</t></r><r><rPr><i/></rPr><t>ستون</t></r></is></c><c t="s"><v>0</v></c><c r="D1" t="s"><v>1</v></c></row>
<row r="3"><c r="B3"><f>1+1</f><v>2</v></c><c t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c t="e"><v>#DIV/0!</v></c><c t="b"><v>0</v></c></row>
<row><c r="A4" s="1"/><c r="B4"><v>1E-3</v></c></row>
<row r="9"><c r="C9" s="1"/></row>
</sheetData></worksheet>'''
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('xl/workbook.xml', workbook)
    z.writestr('xl/_rels/workbook.xml.rels', rels)
    z.writestr('xl/sharedStrings.xml', shared)
    z.writestr('xl/worksheets/sheet1.xml', other)
    z.writestr('xl/worksheets/data.xml', data)
)PY";

const char* kXlwtBook = R"PY(
import sys, xlwt
wb = xlwt.Workbook(encoding="utf-8")
wb.add_sheet("Sheet1").write(0, 0, "other sheet")
ws = wb.add_sheet("sh")
ws.write(0, 0, "کد"); ws.write(0, 1, "نام"); ws.write(0, 3, "مبلغ")   # C1 without a heading
ws.write(1, 0, 42); ws.write(1, 1, "تهران"); ws.write(1, 2, 12.5); ws.write(1, 3, 1234567)
ws.write(2, 0, 0.1); ws.write(2, 3, -7); ws.write(2, 2, 1e20)
ws.write(4, 1, "آخر")                                                # row 4 empty
ws.write(6, 0, "", xlwt.easyxf("font: bold on"))                     # a formatted blank cell
wb.save(sys.argv[1])
)PY";

} // namespace

TEST_F(SpreadsheetImport, XlsxFromOpenpyxl)
{
    const QString path = makeWithPython("openpyxl.xlsx", kOpenpyxlBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Sheet1"), S("sh")}));
    for (const char* sheet : {"sh", "SH"}) { // sheet names match without regard to case
        SCOPED_TRACE(sheet);
        expectTable(readSheet(path, S(sheet)), {S("نام"), S("F2"), S("مقدار"), S("F4"), S("F5")},
                    {{S("تهران"), S("42"), S("12.5"), S(""), S("")},
                     {S("  فاصله "), S("-0.1"), S("1"), S(""), S("")},
                     {S(""), S(""), S(""), S(""), S("")},
                     {S(""), S(""), S(""), S(""), S("دور")}});
    }
    expectTable(readSheet(path, S("Sheet1")), {S("other sheet")}, {});
}

TEST_F(SpreadsheetImport, XlsxRichTextFormulasAndCellsWithoutReferences)
{
    const QString path = makeWithPython("hand.xlsx", kHandMadeBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Other"), S("Data")}));
    expectTable(readSheet(path, S("Data")), {S("سرستون"), S("رنگ آبي"), S("F3"), S("ta<g"), S("F5")},
                {{S(""), S(""), S(""), S(""), S("")},
                 {S(""), S("2"), S("ab"), S("#DIV/0!"), S("0")},
                 {S(""), S("1E-3"), S(""), S(""), S("")}});
    expectTable(readSheet(path, S("other")), {S("ta<g")}, {});
}

TEST_F(SpreadsheetImport, XlsFromXlwt)
{
    const QString path = makeWithPython("xlwt.xls", kXlwtBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Sheet1"), S("sh")}));
    expectTable(readSheet(path, S("sh")), {S("کد"), S("نام"), S("F3"), S("مبلغ")},
                {{S("42"), S("تهران"), S("12.5"), S("1234567")},
                 {S("0.1"), S(""), S("1e+20"), S("-7")},
                 {S(""), S(""), S(""), S("")},
                 {S(""), S("آخر"), S(""), S("")}});
}

// Our own export writes inline strings and blank bordered cells out to column M (AA in the
// header); none of those blanks may widen or lengthen the table read back.
TEST_F(SpreadsheetImport, RoundTripThroughOurExport)
{
    struct Case {
        const char* name;
        int columns;
        int rows;
    };
    for (const Case& c : {Case{"narrow", 3, 4}, Case{"wide", 30, 3}, Case{"empty", 2, 0}}) {
        SCOPED_TRACE(c.name);
        TableSource src;
        QStringList expectedColumns;
        QList<QStringList> expectedRows(c.rows);
        for (int col = 0; col < c.columns; ++col) {
            src.names << QStringLiteral("f%1").arg(col);
            expectedColumns << (col == 1 ? S("عنوان <و> & 'نقل'") : src.names.last());
        }
        for (int r = 0; r < c.rows; ++r) {
            QStringList row;
            for (int col = 0; col < c.columns; ++col) {
                // Row 1 is empty in the middle of the table and must stay a row.
                const QString v = r == 1 ? QString() : S("مقدار %1-%2").arg(r).arg(col);
                row << (col % 2 ? S("  ") + v + S(" ") : v);
                expectedRows[r] << v;
            }
            src.data << row;
        }
        const QString path = file(c.name) + S(".xlsx");
        writeXlsx(path, src, {{S("F1"), S("عنوان <و> & 'نقل'")}});
        expectTable(readSheet(path, S("sheet1")), expectedColumns, expectedRows);
    }
}

TEST_F(SpreadsheetImport, FailuresAreReportedInPersian)
{
    TableSource one;
    one.names = {S("id")};
    one.data = {{S("1")}};
    const QString good = file("good.xlsx");
    writeXlsx(good, one, {});
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();
    const QString xls = makeWithPython("good.xls", kXlwtBook);

    QByteArray noise(4096, '\0');
    QRandomGenerator rng(7);
    rng.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    noise[0] = 'x';

    const QString corrupt = S("خراب است");
    const QString notExcel = S("فايل اكسل (xlsx يا xls) نيست");
    struct Case {
        const char* name;
        std::function<QString()> make;
        const char* sheet;
        QString expect; // a part of the message
    };
    const Case cases[] = {
        {"missing file", [&] { return file("nothing-here.xlsx"); }, "Sheet1", S("يافت نشد")},
        {"folder", [&] { return dir.path(); }, "Sheet1", S("باز نشد")},
        {"empty file", [&] { return makeBytes("empty.xlsx", {}); }, "Sheet1", notExcel},
        {"text file", [&] { return makeBytes("text.xlsx", "id,name\n1,x\n"); }, "Sheet1", notExcel},
        {"random bytes", [&] { return makeBytes("noise.xls", noise); }, "Sheet1", notExcel},
        {"truncated zip", [&] { return makeBytes("cut.xlsx", goodBytes.left(goodBytes.size() / 2)); }, "Sheet1", corrupt},
        {"zip signature then noise", [&] { return makeBytes("pk.xlsx", "PK\x03\x04" + noise); }, "Sheet1", corrupt},
        {"zip without a workbook", [&] { return makeWithPython("plain.zip", "import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('a.txt', 'x')"); }, "Sheet1", corrupt},
        {"ole2 signature then noise", [&] { return makeBytes("ole.xls", QByteArray::fromHex("D0CF11E0A1B11AE1") + noise); }, "Sheet1", corrupt},
        {"missing sheet in xlsx", [&] { return good; }, "sh", S("شيت «sh» در فايل يافت نشد")},
        {"missing sheet in xls", [&] { return xls; }, "Sheet2", S("شيت «Sheet2» در فايل يافت نشد")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.make();
        try {
            readSheet(path, S(c.sheet));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
    }
}
