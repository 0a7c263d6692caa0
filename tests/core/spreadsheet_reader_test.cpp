// Reading worksheets as text tables, from files made by openpyxl, by hand-written XML,
// by python-xlwt (legacy .xls) and by our own export.
#include "common/errors.h"
#include "common/spreadsheet.h"
#include "pyhelpers.h"
#include "table_source.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tarvest;
using tarvest::testing::TableSource;

namespace {

QString S(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

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

    void SetUp() override { setXlsReaderProgram(QStringLiteral(TARVEST_ADMIN_EXE)); }

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
    // Rows are stored sparsely: none is longer than the heading row or ends in an empty cell;
    // read through text(), the table is the expected one cell for cell.
    static void expectTable(const SheetTable& t, const QStringList& columns, const QList<QStringList>& rows)
    {
        EXPECT_EQ(t.columns, columns) << t.columns.join(u'|').toStdString();
        QList<QStringList> full;
        for (qsizetype r = 0; r < t.rows.size(); ++r) {
            const QStringList& row = t.rows[r];
            EXPECT_LE(row.size(), t.columns.size()) << r;
            EXPECT_TRUE(row.isEmpty() || !row.back().isEmpty()) << r;
            QStringList padded;
            for (qsizetype c = 0; c < t.columns.size(); ++c)
                padded << t.text(r, c);
            full << padded;
        }
        EXPECT_EQ(full, rows) << show(full);
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
                 {S(""), S("0.001"), S(""), S(""), S("")}});
    expectTable(readSheet(path, S("other")), {S("ta<g")}, {});
}

TEST_F(SpreadsheetImport, XlsFromXlwt)
{
    const QString path = makeWithPython("xlwt.xls", kXlwtBook);
    EXPECT_EQ(sheetNames(path), (QStringList{S("Sheet1"), S("sh")}));
    expectTable(readSheet(path, S("sh")), {S("کد"), S("نام"), S("F3"), S("مبلغ")},
                {{S("42"), S("تهران"), S("12.5"), S("1234567")},
                 {S("0.1"), S(""), S("100000000000000000000"), S("-7")},
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
        {"truncated zip", [&] { return makeBytes("cut.xlsx", goodBytes.left(goodBytes.size() / 2)); }, "Sheet1",
         corrupt},
        {"zip signature then noise", [&] { return makeBytes("pk.xlsx", "PK\x03\x04" + noise); }, "Sheet1", corrupt},
        {"zip without a workbook",
         [&] {
             return makeWithPython("plain.zip",
                                   "import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('a.txt', 'x')");
         },
         "Sheet1", corrupt},
        {"ole2 signature then noise",
         [&] { return makeBytes("ole.xls", QByteArray::fromHex("D0CF11E0A1B11AE1") + noise); }, "Sheet1", corrupt},
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

namespace {

// The same sheet written by openpyxl (.xlsx) and xlwt (.xls), in the 1900 or the 1904 date
// system (sys.argv[3] == "1904"); the table stands at C3, not A1.
const char* kSameSheetBoth = R"PY(
import sys, datetime, openpyxl, xlwt
from openpyxl.utils.datetime import CALENDAR_MAC_1904
use1904 = sys.argv[3] == "1904"
head = ["کد", "نام", "مبلغ", "تاريخ", "زمان ثبت", "ساعت", "ضريب"]
rows = [["007", "تهران", 1250000, datetime.date(2024, 3, 5), datetime.datetime(2024, 3, 5, 10, 30, 15),
         datetime.time(8, 5, 0), 0.1],
        ["12", None, 1e20, datetime.date(1999, 12, 31), datetime.datetime(2010, 1, 2, 0, 0, 1),
         datetime.time(23, 59, 59), -7.25],
        [None, "آخر", 42, None, None, None, 3]]
fmts = {3: "YYYY-MM-DD", 4: "YYYY-MM-DD HH:MM:SS", 5: "HH:MM:SS"}

wb = openpyxl.Workbook()
if use1904:
    wb.epoch = CALENDAR_MAC_1904
ws = wb.active
ws.title = "Sheet1"
for c, h in enumerate(head):
    ws.cell(row=3, column=3 + c, value=h)
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        if v is None:
            continue
        cell = ws.cell(row=4 + r, column=3 + c, value=v)
        if c in fmts:
            cell.number_format = fmts[c]
wb.save(sys.argv[1])

book = xlwt.Workbook(encoding="utf-8")
book.dates_1904 = use1904
sh = book.add_sheet("Sheet1")
for c, h in enumerate(head):
    sh.write(2, 2 + c, h)
styles = {c: xlwt.easyxf(num_format_str=f) for c, f in fmts.items()}
for r, row in enumerate(rows):
    for c, v in enumerate(row):
        if v is None:
            continue
        if c in styles:
            sh.write(3 + r, 2 + c, v, styles[c])
        else:
            sh.write(3 + r, 2 + c, v)
book.save(sys.argv[2])
)PY";

// A minimal package around one worksheet's <sheetData> (argv[2]) and, optionally, the
// <si> elements of its shared strings (argv[3]); argv[4] repeats them that many times
// (with argv[3] "LONG": one shared string of argv[4] letters).
const char* kCrafted = R"PY(
import sys, zipfile
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
data, si, times = sys.argv[2], sys.argv[3], int(sys.argv[4])
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('xl/workbook.xml', f'<workbook {NS} xmlns:r="{REL}"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="x" Target="worksheets/sheet1.xml"/></Relationships>')
    if times:
        with z.open('xl/sharedStrings.xml', 'w') as f:
            f.write(f'<sst {NS}>'.encode())
            if si == 'LONG':
                f.write(b'<si><t>' + b'a' * times + b'</t></si>')
            else:
                chunk = (si * 10000).encode()
                for _ in range(max(times // 10000, 1)):
                    f.write(chunk)
            f.write(b'</sst>')
    z.writestr('xl/worksheets/sheet1.xml', f'<worksheet {NS}><sheetData>{data}</sheetData></worksheet>')
)PY";

} // namespace

TEST_F(SpreadsheetImport, SameSheetReadsTheSameFromXlsxAndXls)
{
    const QStringList head = {S("کد"), S("نام"), S("مبلغ"), S("تاريخ"), S("زمان ثبت"), S("ساعت"), S("ضريب")};
    const QList<QStringList> rows = {
        {S("007"), S("تهران"), S("1250000"), S("2024-03-05"), S("2024-03-05 10:30:15"), S("08:05:00"), S("0.1")},
        {S("12"), S(""), S("100000000000000000000"), S("1999-12-31"), S("2010-01-02 00:00:01"), S("23:59:59"),
         S("-7.25")},
        {S(""), S("آخر"), S("42"), S(""), S(""), S(""), S("3")},
    };
    for (const char* system : {"1900", "1904"}) {
        SCOPED_TRACE(system);
        const QString xlsx = file("same.xlsx"), xls = file("same.xls");
        const auto r = tarvest::testing::runPython(QString::fromUtf8(kSameSheetBoth), {xlsx, xls, S(system)});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        // Read by position: the sheet's empty row 1 is the heading, its rows and columns
        // stay where they stand.
        QStringList columns;
        for (int c = 1; c <= 9; ++c)
            columns << S("F%1").arg(c);
        auto placed = [](const QStringList& row) { return QStringList{S(""), S("")} + row; };
        QList<QStringList> table = {QStringList(9, S("")), placed(head)};
        for (const QStringList& row : rows)
            table << placed(row);
        for (const QString& path : {xlsx, xls}) {
            SCOPED_TRACE(path.toStdString());
            const SheetTable t = readSheet(path, S("Sheet1"));
            expectTable(t, columns, table);
            EXPECT_TRUE(t.heading.isEmpty());
        }
    }
}

// Crafted files that once took gigabytes or crashed: each is refused with a Persian message.
TEST_F(SpreadsheetImport, HostileXlsxFilesAreRefused)
{
    const QString rows = S("1048576 رديف");
    const QString columns = S("16384 ستون");
    const QString memory = S("حافظه");
    struct Case {
        const char* name;
        QString data;
        QString si;
        int times;
        QString expect;
    };
    const Case cases[] = {
        {"huge row number",
         S(R"(<row r="2147483648"><c r="A2147483648" t="inlineStr"><is><t>x</t></is></c></row>)"),
         {},
         0,
         rows},
        {"one row past the last", S(R"(<row r="1048577"><c t="inlineStr"><is><t>x</t></is></c></row>)"), {}, 0, rows},
        {"rows without numbers past the last",
         S(R"(<row r="1048576"><c t="inlineStr"><is><t>x</t></is></c></row><row><c t="inlineStr"><is><t>y</t></is></c></row>)"),
         {},
         0,
         rows},
        {"cell past the last column",
         S(R"(<row r="1"><c r="XFE1" t="inlineStr"><is><t>x</t></is></c></row>)"),
         {},
         0,
         columns},
        {"shared-string bomb", S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("<si><t>x</t></si>"), 3000000,
         memory},
        {"one giant text", S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("LONG"), 50 << 20, memory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file("crafted.xlsx");
        const auto made = tarvest::testing::runPython(QString::fromUtf8(kCrafted),
                                                      {path, c.data, c.si, QString::number(c.times)});
        ASSERT_EQ(made.exitCode, 0) << made.err.constData();
        try {
            readSheet(path, S("Sheet1"));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(S("خطا! فايل اكسل"))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
    }
}

// A far cell no longer widens every row: XFD1 and A10000 make a table of 16,384 columns
// whose rows hold one cell each. The bomb is read in a child that reports its peak memory.
TEST_F(SpreadsheetImport, FarCellsAreStoredSparselyAndBombsStayWithinMemory)
{
    const QString far = file("far.xlsx");
    ASSERT_EQ(
        tarvest::testing::runPython(
            QString::fromUtf8(kCrafted),
            {far,
             S(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>id</t></is></c><c r="XFD1" t="inlineStr"><is><t>last</t></is></c></row><row r="10000"><c r="A10000"><v>7</v></c></row>)"),
             S(""), S("0")})
            .exitCode,
        0);
    const SheetTable t = readSheet(far, S("Sheet1"));
    EXPECT_EQ(t.columns.size(), 16384);
    EXPECT_EQ(t.columns.back(), S("last"));
    ASSERT_EQ(t.rows.size(), 9999);
    EXPECT_EQ(t.rows.back(), QStringList{S("7")});
    for (const QStringList& r : t.rows.first(9998))
        EXPECT_TRUE(r.isEmpty());

    const QString bomb = file("bomb.xlsx");
    ASSERT_EQ(tarvest::testing::runPython(
                  QString::fromUtf8(kCrafted),
                  {bomb, S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)"), S("<si><t></t></si>"), S("30000000")})
                  .exitCode,
              0);
    EXPECT_LT(QFileInfo(bomb).size(), 2 << 20);
    QProcess child;
    child.start(S(TARVEST_TEST_FILEWRITER_EXE), {S("read"), bomb, S("Sheet1")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(S("حافظه"))) << out.toStdString();
    const qsizetype at = out.indexOf(S("peak "));
    ASSERT_GE(at, 0) << out.toStdString();
#if defined(__SANITIZE_ADDRESS__)
    const int peakLimit = 1200; // AddressSanitizer's own bookkeeping comes on top
#else
    const int peakLimit = 400; // the file's budget is 64 MiB + 64 x 1.2 MB; the same file once took 2 GiB
#endif
    EXPECT_LT(out.mid(at + 5).section(u' ', 0, 0).toInt(), peakLimit) << out.toStdString();
}

// Legacy files are parsed in a child process: whatever the parser does with a malformed file,
// and a child that crashes or hangs, the program gets a message.
TEST_F(SpreadsheetImport, XlsChildProcessTurnsCrashesAndHangsIntoMessages)
{
    const QString good = makeWithPython("good.xls", kXlwtBook);
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QByteArray scrambled = bytes;
    QRandomGenerator rng(3);
    for (int i = 0; i < 200; ++i) // header intact, sectors and records damaged
        scrambled[512 + int(rng.bounded(int(bytes.size()) - 512))] = char(rng.bounded(256));
    for (const auto& [name, content] :
         {std::pair{"cut", bytes.left(bytes.size() / 2)}, std::pair{"scrambled", scrambled}}) {
        SCOPED_TRACE(name);
        const QString path = makeBytes("damaged.xls", content);
        try {
            const SheetTable t = readSheet(path, S("sh"));
            // A damage the parser does not notice may still give a table; it must not take the program.
            SUCCEED();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(S("فايل اكسل"))) << e.message().toStdString();
        }
    }

    struct Case {
        const char* mode;
        int seconds;
        QString expect;
    };
    for (const Case& c : {Case{"crash", 30, S("خراب است و خواندن آن متوقف شد")}, Case{"hang", 1, S("1 ثانيه")}}) {
        SCOPED_TRACE(c.mode);
        qputenv("TARVEST_TEST_XLS_CHILD", c.mode);
        setXlsChildLimits({c.seconds, 0});
        try {
            readSheet(good, S("sh"));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(S("خطا! "))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.expect)) << e.message().toStdString();
        }
        qunsetenv("TARVEST_TEST_XLS_CHILD");
        setXlsChildLimits({});
    }
    EXPECT_EQ(readSheet(good, S("sh")).columns.size(), 4); // and the next read works again
}

namespace {

// A package around one worksheet, written the ways real programs write theirs: argv[2]
// the workbook's <workbookPr> and anything after <sheets>, argv[3] the styles' <numFmts>
// and <cellXfs>, argv[4] the <sheetData>, argv[5] what follows it (<mergeCells>), argv[6]
// the <si> of the shared strings. The workbook is "xl/book.xml", found only through the
// package's relationships (_rels/.rels), with its styles in "xl/look.xml".
const char* kRealWays = R"PY(
import sys, zipfile
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
X15 = 'xmlns:x15="http://schemas.microsoft.com/office/spreadsheetml/2010/11/main"'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'
book, styles, data, after, si = sys.argv[2:7]
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('_rels/.rels', f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/book.xml"/></Relationships>')
    z.writestr('xl/book.xml', f'<workbook {NS} {X15} xmlns:r="{REL}">{book.split("|")[0]}<sheets><sheet name="Sheet1" sheetId="1" r:id="rId3"/></sheets>{book.split("|")[-1] if "|" in book else ""}</workbook>')
    z.writestr('xl/_rels/book.xml.rels', f'<Relationships xmlns="{PKG}"><Relationship Id="rId3" Type="{REL}/worksheet" Target="sheets\\one.xml"/><Relationship Id="rId4" Type="{REL}/styles" Target="look.xml"/><Relationship Id="rId5" Type="{REL}/sharedStrings" Target="/xl/words.xml"/></Relationships>')
    z.writestr('xl/look.xml', f'<styleSheet {NS}>{styles}</styleSheet>')
    z.writestr('xl/words.xml', f'<sst {NS}>{si}</sst>')
    z.writestr('xl/sheets/one.xml', f'<worksheet {NS}><sheetData>{data}</sheetData>{after}</worksheet>')
)PY";

// Styles: 0 general, 1 built-in date (14), 2 "yyyy-mm-dd hh:mm:ss", 3 "[h]:mm:ss",
// 4 built-in elapsed time (46), 5 "hh:mm", 6 "[Magenta]0.00" (a colour, no time).
const char* kRealStyles =
    R"(<numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd\ hh:mm:ss"/><numFmt numFmtId="165" formatCode="[h]:mm:ss"/><numFmt numFmtId="166" formatCode="hh:mm"/><numFmt numFmtId="167" formatCode="[Magenta]0.00"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="46"/><xf numFmtId="166"/><xf numFmtId="167"/></cellXfs>)";

} // namespace

// Faults met reading files from real offices and other programs, each with the smallest
// sheet that shows it: the cells read as the sheet shows them.
TEST_F(SpreadsheetImport, XlsxReadsWhatRealProgramsWrite)
{
    const QString excel1904 = S(
        R"(<workbookPr date1904="1"/>|<extLst><ext uri="{1}"><x15:workbookPr chartTrackingRefBase="1"/></ext></extLst>)");
    struct Cell {
        const char* ref; // zero-based "r,c"
        const char* text;
    };
    struct Case {
        const char* name;
        QString book, data, after, si;
        std::vector<Cell> cells;
    };
    const Case cases[] = {
        {"1904 dates with Excel 2013's x15:workbookPr after the workbook's own",
         excel1904,
         S(R"(<row r="1"><c r="A1" s="1"><v>43894</v></c><c r="B1" s="1"><v>0</v></c><c r="C1" s="2"><v>43894.5</v></c></row>)"),
         {},
         {},
         {{"0,0", "2024-03-05"}, {"0,1", "1904-01-01"}, {"0,2", "2024-03-05 12:00:00"}}},
        {"the x15 element alone says nothing of dates",
         S(R"(|<extLst><ext uri="{1}"><x15:workbookPr date1904="1"/></ext></extLst>)"),
         S(R"(<row r="1"><c r="A1" s="1"><v>45356</v></c></row>)"),
         {},
         {},
         {{"0,0", "2024-03-05"}}},
        {"dates before 1900 as LibreOffice stores them, never a bare number",
         {},
         S(R"(<row r="1"><c r="A1" s="1"><v>-181328</v></c><c r="B1" s="1"><v>-181329</v></c><c r="C1" s="1"><v>-1</v></c><c r="D1" s="2"><v>-2</v></c><c r="E1" s="1"><v>-693593</v></c><c r="F1" s="1"><v>9999999</v></c><c r="G1" s="6"><v>-181328</v></c></row>)"),
         {},
         {},
         {{"0,0", "1403-07-16"},
          {"0,1", "1403-07-15"},
          {"0,2", "1899-12-29"},
          {"0,3", "1899-12-28 00:00:00"},
          {"0,4", "0001-01-01"},
          {"0,5", "########"},
          {"0,6", "-181328"}}},
        {"elapsed time keeps its hours",
         {},
         S(R"(<row r="1"><c r="A1" s="3"><v>10.6320601851852</v></c><c r="B1" s="4"><v>1.5</v></c><c r="C1" s="5"><v>10.6320601851852</v></c><c r="D1" s="3"><v>0.0076388888889</v></c></row>)"),
         {},
         {},
         {{"0,0", "255:10:10"}, {"0,1", "36:00:00"}, {"0,2", "15:10:10"}, {"0,3", "00:11:00"}}},
        {"ISO dates shown by their number format, to the second",
         {},
         S(R"(<row r="1"><c r="A1" t="d" s="1"><v>2024-03-05T10:00:00.123</v></c><c r="B1" t="d" s="2"><v>2024-03-05T10:00:00.6</v></c><c r="C1" t="d"><v>2024-03-05T00:00:00</v></c><c r="D1" t="d"><v>2024-03-05T23:59:59.7Z</v></c><c r="E1" t="d" s="3"><v>1900-01-09T15:10:10</v></c></row>)"),
         {},
         {},
         {{"0,0", "2024-03-05"},
          {"0,1", "2024-03-05 10:00:01"},
          {"0,2", "2024-03-05"},
          {"0,3", "2024-03-06 00:00:00"},
          {"0,4", "255:10:10"}}},
        {"an empty shared-string reference is an empty cell",
         {},
         S(R"(<row r="1"><c r="A1" t="s"><v/></c><c r="B1" t="s"><v>0</v></c><c r="C1" t="s"></c></row>)"),
         {},
         S("<si><t>after</t></si>"),
         {{"0,0", ""}, {"0,1", "after"}, {"0,2", ""}}},
        {"escaped characters decoded, an escaped underscore and control characters kept literal",
         {},
         S(R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>x_x0041__x00</t></is></c></row>)"),
         {},
         S("<si><t>a_x000D_b_x0009_c_x0628_</t></si><si><t>_x005F_x0000_ and _xZZZZ_ and _x0000__x0001__xFFFF__xD800_</t></si>"),
         {{"0,0", "a\rb\tcب"}, {"0,1", "_x0000_ and _xZZZZ_ and _x0000__x0001__xFFFF__xD800_"}, {"0,2", "xA_x00"}}},
        {"values covered by a merged range read empty",
         {},
         S(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>shown</t></is></c><c r="B1" t="inlineStr"><is><t>hidden</t></is></c><c r="C1"><v>3</v></c></row><row r="2"><c r="A2"><v>4</v></c><c r="B2"><v>5</v></c><c r="C2"><v>6</v></c></row><row r="3"><c r="D3"><v>7</v></c></row>)"),
         S(R"(<mergeCells count="2"><mergeCell ref="A1:B2"/><mergeCell ref="C3:D3"/></mergeCells>)"),
         {},
         {{"0,0", "shown"}, {"0,1", ""}, {"0,2", "3"}, {"1,0", ""}, {"1,1", ""}, {"1,2", "6"}, {"2,3", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file("real.xlsx");
        const auto made = tarvest::testing::runPython(QString::fromUtf8(kRealWays),
                                                      {path, c.book, S(kRealStyles), c.data, c.after, c.si});
        ASSERT_EQ(made.exitCode, 0) << made.err.constData();
        const SheetTable t = readSheet(path, S("Sheet1"));
        for (const Cell& cell : c.cells) {
            const QString ref = S(cell.ref);
            EXPECT_EQ(t.cell(ref.section(u',', 0, 0).toInt(), ref.section(u',', 1, 1).toInt()), S(cell.text))
                << cell.ref;
        }
    }
}

// A workbook saved with a password to open it is an encrypted package inside an OLE2 file:
// refused with a message that says so, whatever its name.
TEST_F(SpreadsheetImport, PasswordProtectedFilesAreRefusedSayingSo)
{
    const QString encrypted = S(TARVEST_TEST_DATA_DIR)
                              + S("/realsheets/edr/standard_AES128_SHA1_ECB_pwd_password.xlsx");
    ASSERT_TRUE(QFileInfo::exists(encrypted));
    QFile in(encrypted);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString renamed = makeBytes("locked.xls", in.readAll());
    for (const QString& path : {encrypted, renamed}) {
        SCOPED_TRACE(path.toStdString());
        for (const bool names : {false, true}) {
            try {
                names ? (void)sheetNames(path) : (void)readSheet(path, S("Sheet1"));
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_TRUE(e.message().startsWith(S("خطا! فايل اكسل"))) << e.message().toStdString();
                EXPECT_TRUE(e.message().contains(S("رمز عبور محافظت شده است"))) << e.message().toStdString();
            }
        }
    }
}
